-- Music with its position on screen.
-- zarn examples/scripts/music.lua
ze.Setup(320, 240, 32, true)
ze.LoadMusic("tone.mp3", 1)
ze.SetMusicVolume(1, 50)
ze.PlayMusic(1)

local frames = tonumber(os.getenv("ZARN_FRAMES") or "")
local frame = 0
while ze.Run() and not ze.EscapeKey() and (not frames or frame < frames) do
  local ms = ze.GetMusicPosition(1)
  if ms >= 6000 then break end
  ze.Ink(0x3366FF)
  ze.Box(10, 40, 10 + ms * 300 // 6000, 50)
  ze.Text(10, 10, "position", ms, "ms")
  ze.Sync()
  frame = frame + 1
end
ze.StopMusic(1)
print("music stopped at", ze.GetMusicPosition(1), "ms")
