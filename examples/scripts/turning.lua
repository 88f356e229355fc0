-- A turning object with a caption, faded in from black.
-- zarn examples/scripts/turning.lua   (Escape or closing the window ends it)
ze.Setup(640, 480, 32, true)
ze.LoadObject("../object/example.x", 1)
ze.PositionObject(1, 0, 0, 0)
ze.SetTextColor(ze.RGB(255, 255, 255))
ze.FadeIn(1000, 0x000000)

-- ZARN_FRAMES bounds the run (the tests play a few frames headless).
local frames = tonumber(os.getenv("ZARN_FRAMES") or "")
local start = ze.Timer()
local frame = 0
while ze.Run() and not ze.EscapeKey() and (not frames or frame < frames) do
  local t = (ze.Timer() - start) / 1000
  ze.RotateObject(1, 20, t * 60, 0)
  ze.Text(10, 10, "radius", string.format("%.2f", ze.GetObjectRadius(1)), "time", string.format("%.1f", t))
  ze.Sync()
  frame = frame + 1
end
