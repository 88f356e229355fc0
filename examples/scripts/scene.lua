-- The example scene played by script, with a load progress read-out.
-- zarn examples/scripts/scene.lua
ze.Setup(640, 480, 32, true)
ze.SetLoadSceneCallback(function(percent) io.write(".") end)
-- scene 1: objects from 100, lights from 100; the rest unused here.
-- A scene names its objects relative to the working directory.
ze.SetDir("../scene")
ze.LoadScene("example.zscn", 1, 100, 100, 0, 0, 0, 0, 0, false, "example")
print(" loaded", ze.SceneTotalObjects(1), "objects", ze.SceneTotalLights(1), "lights")

local length = ze.SceneAnimTimeEnd(1)
local frames = tonumber(os.getenv("ZARN_FRAMES") or "")
local start = ze.Timer()
local frame = 0
while ze.Run() and not ze.EscapeKey() and (not frames or frame < frames) do
  local t = ze.Timer() - start
  if length > 0 then t = t % length end
  ze.AnimateScene(1, t)
  ze.Text(10, 10, "scene time", t, "of", length, "ms")
  ze.Sync()
  frame = frame + 1
end
