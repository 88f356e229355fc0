// The `ze` table on the NULL driver: the command conventions as a table of
// snippets, the command table itself, and a script driving an object.
#include <gtest/gtest.h>
#include <lua.hpp>

#include <fstream>
#include <set>
#include <sstream>

#include "app/MyEventReceiver.h"
#include "app/zeEngine.h"
#include "app/zeFileMount.h"
#include "base/zeFile.h"
#include "base/zeMessage.h"
#include "script/zeScriptCommand.h"
#include "script/zeScriptHost.h"
#include "script/zeScriptReference.h"
#include "scriptFixture.h"
#include "support/testZip.h"

namespace {

const std::string kSetup = "ze.Setup(64, 48, 32, true) ";

struct Case {
  const char* what;
  bool setup;              // run ze.Setup first
  std::string code;
  std::string expected;    // exact result of runSnippet
  bool prefix = false;     // expected is a prefix only
};

TEST_F(ScriptTest, CommandConventionsGiveTheDocumentedResultsAndErrors) {
  const std::string seventeen = "1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17";
  const Case cases[] = {
      {"engine check names the command", false, "ze.Sync()", "error calling 'Sync' without Setup first"},
      {"engine check uses the name it was called by", false, "local draw = ze.Sync draw()",
       "error calling 'draw' without Setup first"},
      {"no-effect commands still need Setup", false, "ze.SetCameraRotationXYZ(1, 2, 3)",
       "error calling 'SetCameraRotationXYZ' without Setup first"},
      {"no-effect commands accept anything once set up", true, "ze.SetCameraRotationXYZ('a', {}, nil)", "ok"},
      {"strict boolean", false, "ze.Setup(64, 48, 32, 1)", "error bad argument #4 to 'Setup' (boolean expected, got number)"},
      {"strict boolean after Setup", true, "return ze.PathFilename('a/b.x', nil)",
       "error bad argument #2 to 'PathFilename' (boolean expected, got nil)"},
      {"integer check", true, "ze.PositionObject('x', 0, 0, 0)",
       "error bad argument #1 to 'PositionObject' (number expected, got string)"},
      {"kept error at the identifier's position", true, "ze.PlayMusic(7)",
       "error bad argument #1 to 'PlayMusic' (Music ID 7 does not exist. ", true},
      {"kept error of an object", true, "ze.PositionObject(5, 0, 0, 0)",
       "error bad argument #1 to 'PositionObject' (Object ID 5 does not exist. ", true},
      {"RGB", true, "return ze.RGB(300, 0, 0)", "ok 2883584"},
      {"RGBf", true, "return ze.RGBf(1, 0.5, 0)", "ok 16744192"},
      {"not implemented, after the engine check", true, "ze.SetFxEmitterSizeGradient()",
       "error bad argument #-1 to 'SetFxEmitterSizeGradient' (the function is not implemented)"},
      {"not implemented needs Setup first", false, "ze.MakeCameraEffect(1, 2)",
       "error calling 'MakeCameraEffect' without Setup first"},
      {"layer not built yet", true, "ze.SetCameraDOF(1, 2, 3)",
       "error bad argument #-1 to 'SetCameraDOF' (SetCameraDOF: not built yet)"},
      {"an emitter without its image", true, "ze.MakeFxEmitterBox(1, 'a.png', 1, 1, 1)",
       "error bad argument #2 to 'MakeFxEmitterBox' (failed to setup material image)"},
      {"an emitter that is not there", true, "ze.SetFxEmitterGravity(4, 0, -1, 0)",
       "error bad argument #1 to 'SetFxEmitterGravity' (FxEmitter ID 4 does not exist. id 4 does not exist)"},
      {"17 reals", true, "ze.SetEffectConstantFloatN(1, 'c', " + seventeen + ")",
       "error bad argument #-1 to 'SetEffectConstantFloatN' (too much floats parameters)"},
      {"FloatN needs one real", true, "ze.SetEffectConstantFloatN(1, 'c')",
       "error bad argument #3 to 'SetEffectConstantFloatN' (number expected, got no value)"},
      {"key code above 255", true, "return ze.KeyState(256)",
       "error bad argument #1 to 'KeyState' (key code 256 is outside 0..255)"},
      {"negative key code", true, "return ze.KeyState(-1)",
       "error bad argument #1 to 'KeyState' (key code -1 is outside 0..255)"},
      {"key code in range", true, "return ze.KeyState(255)", "ok false"},
      {"morph arrays of different length", true, "ze.SetObjectMorph(1, {1, 2}, {0.5})",
       "error the number of morphs(2) is not equals to the number of weights(1)"},
      {"morph array over capacity", true, "local t = {} for k = 1, 65 do t[k] = 0 end ze.SetObjectMorph(1, t, t)",
       "error Exceed buffer capacity 65>64"},
      {"morph array with a text", true, "ze.SetObjectMorph(1, {1, 'x'}, {1, 2})",
       "error invalid entry #1 in array argument #2 (expected number, got string)"},
      {"morph weights must be a table", true, "ze.SetObjectMorph(1, {}, 3)",
       "error bad argument #3 to 'SetObjectMorph' (table expected, got number)"},
      {"joined text", true, "return ze.TextWidth('ab', 12, true) > ze.TextWidth('ab')", "ok true"},
      {"dialogs without Setup", false, "return tostring(ze.ScreenModeDialog()) .. tostring(ze.FileRequester('pick'))",
       "ok falsenil"},
      {"message box without Setup", false, "ze.MessageBox('hello', 1, true) return ze.IsSetup()", "ok false"},
      {"screen mode option without Setup", false, "return ze.ScreenModeOption('nosuch')", "ok -1"},
      {"Exist commands never fail", true, "return tostring(ze.ObjectExist(-3)) .. tostring(ze.MusicExist(999))",
       "ok falsefalse"},
      {"Setup's defaults", true,
       "return ze.ScreenWidth() .. ' ' .. ze.ScreenHeight() .. ' ' .. tostring(ze.LightExist(0))", "ok 64 48 true"},
      {"Term stops the engine", true, "ze.Term() return ze.IsSetup()", "ok false"},
      {"camera range and field of view", true, "ze.SetCameraRange(1, 1) ze.SetCameraFOV(90) return ze.PositionToScreen(0, 0, 0)",
       "ok 32"},
      {"ride camera mode and speeds", true,
       "ze.SetCameraMode(1) ze.SetCameraMoveSpeed(0.5) ze.SetCameraJumpSpeed(1) ze.SetCameraMode(0) "
       "ze.PositionCamera(1, 2, 3) ze.Sync() return ze.PositionToScreen(1, 2, 4)",
       "ok 32"},
      {"collision with an unknown object", true, "ze.SetObjectCollisionOn(77)",
       "error bad argument #1 to 'SetObjectCollisionOn' (Object ID 77 does not exist. id 77 does not exist)"},
      {"a failed scene load", true, "ze.LoadScene('none.zscn', 0, 0, 0, 0, 0, 0, 0, 0, false, 'x')",
       "error Failed to load scene 'none.zscn'"},
      {"failed filesystem resource", false, "ze.SetupFilesystemFromResource('/no/such.zip')",
       "error failed to setup filesystem resource '/no/such.zip'"},
      // Last: it replaces the global tostring.
      {"tostring must return a string", true, "tostring = function() return nil end ze.Text(0, 0, 1)",
       "error 'tostring' must return a string to 'Text'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.setup) {
      ASSERT_EQ(run(kSetup), "ok");
    }
    const std::string result = run(c.code);
    if (c.prefix) {
      EXPECT_EQ(result.substr(0, c.expected.size()), c.expected);
    } else {
      EXPECT_EQ(result, c.expected);
    }
    int kept = 0;
    EXPECT_EQ(zeGetLastError(&kept), nullptr) << "a raised kept error is cleared";
    zeEngineStop();
  }
}

TEST_F(ScriptTest, JoystickReadsTheLastEventOnlyWhileEnabled) {
  ASSERT_EQ(run(kSetup), "ok");
  SZeJoystickState& j = zeEventReceiver().joystick;
  j.axisX = 1000;
  j.axisY = 2000;
  j.axisZ = -1499;
  j.axisR = -1500;
  j.buttons = 0x9;
  j.pov = 27000;  // left
  EXPECT_EQ(run("return ze.JoystickY()"), "ok 0") << "disabled joysticks read 0";
  ASSERT_EQ(run("ze.EnableJoystick()"), "ok");
  const std::pair<const char*, const char*> reads[] = {
      {"JoystickX()", "0"},          {"JoystickY()", "2000"},       {"JoystickZ()", "0"},
      {"JoystickR()", "-1500"},      {"JoystickFireA()", "true"},   {"JoystickFireB()", "false"},
      {"JoystickFireD()", "true"},   {"JoystickFireX(3)", "true"},  {"JoystickFireX(32)", "false"},
      {"JoystickFireX(-1)", "false"}, {"JoystickLeft()", "true"},   {"JoystickUp()", "false"},
      {"JoystickDown()", "false"},   {"JoystickRight()", "false"},
  };
  for (const auto& [call, value] : reads) EXPECT_EQ(run(std::string("return ze.") + call), std::string("ok ") + value) << call;
  j.pov = 4500;  // up and right
  EXPECT_EQ(run("return tostring(ze.JoystickUp()) .. tostring(ze.JoystickRight()) .. tostring(ze.JoystickLeft())"),
            "ok truetruefalse");
  j.pov = 0xFFFF;  // centred
  EXPECT_EQ(run("return ze.JoystickUp()"), "ok false");
  ASSERT_EQ(run("ze.DisableJoystick()"), "ok");
  EXPECT_EQ(run("return ze.JoystickFireA()"), "ok false");
}

TEST_F(ScriptTest, AScriptLoadsAnObjectMovesItAndReadsItsRadius) {
  ASSERT_EQ(run(kSetup + "ze.LoadObject('" ZARN_EXAMPLES "/object/example.x', 3)"), "ok");
  EXPECT_EQ(run("ze.PositionObject(3, 1, 2, 3) ze.RotateObject(3, 0, 90, 0) ze.Sync() return ze.ObjectExist(3)"), "ok true");
  const std::string radius = run("return ze.GetObjectRadius(3)");
  ASSERT_EQ(radius.substr(0, 3), "ok ");
  EXPECT_GT(std::stod(radius.substr(3)), 0.1);
  // A creating command replaces what the identifier held.
  EXPECT_EQ(run("ze.LoadObject('" ZARN_EXAMPLES "/object/example.x', 3) ze.CloneObject(4, 3) ze.CloneObject(4, 3) "
                "return ze.ObjectExist(4)"),
            "ok true");
  EXPECT_EQ(run("ze.LoadObject('missing.x', 3)").substr(0, 40), "error bad argument #1 to 'LoadObject' (F");
  EXPECT_EQ(run("return ze.ObjectExist(3)"), "ok false") << "a failed load leaves the identifier free";
}

TEST_F(ScriptTest, LoadMusicIntoAUsedIdentifierReplacesTheMusic) {
  ASSERT_EQ(run(kSetup), "ok");
  const std::string load = "ze.LoadMusic('" ZARN_TONE "', 2)";
  ASSERT_EQ(run(load), "ok");
  EXPECT_EQ(run("ze.SetMusicPosition(2, 1500) return ze.GetMusicPosition(2)"), "ok 1500");
  EXPECT_EQ(run(load + " return ze.GetMusicPosition(2)"), "ok 0");
  EXPECT_EQ(run("ze.SetMusicVolume(2, 50) return ze.MusicVolume(2)").substr(0, 4), "ok 5");
}

TEST_F(ScriptTest, TheLoadCallbackIsCalledReplacedAndItsErrorsRaisedAfterTheLoad) {
  const std::string scene = "example.zscn";
  ASSERT_EQ(run(kSetup + "ze.SetDir('" ZARN_EXAMPLES "/scene') calls = 0 ze.SetLoadSceneCallback(function(p) calls = calls + 1 end)"), "ok");
  ASSERT_EQ(run("ze.LoadScene('" + scene + "', 1, 100, 100, 0, 0, 0, 0, 0, false, 'a') return calls > 0"), "ok true");
  // The earlier function is released when it is replaced.
  const int before = [&] { lua_gc(L, LUA_GCCOLLECT, 0); return lua_gc(L, LUA_GCCOUNT, 0); }();
  for (int k = 0; k < 2000; ++k) run("ze.SetLoadSceneCallback(function(p) local big = ('x'):rep(100) end)");
  lua_gc(L, LUA_GCCOLLECT, 0);
  EXPECT_LT(lua_gc(L, LUA_GCCOUNT, 0), before + 8);
  // An error in the callback does not unwind through the loader: it is raised once the load is over.
  EXPECT_EQ(run("ze.SetLoadSceneCallback(function(p) error('stop here', 0) end) "
                "ze.LoadScene('" + scene + "', 2, 200, 200, 0, 0, 0, 0, 0, false, 'b')"),
            "error stop here");
  EXPECT_EQ(run("return ze.SceneExist(2)"), "ok true");
}

TEST_F(ScriptTest, AnArchiveMountedBeforeSetupServesTheFilesAfterIt) {
  const std::string zip = scriptTempDirectory() + "/data.zip";
  const std::vector<std::uint8_t> bytes = zeTestZip({{"inside.txt", "hello"}});
  writeScriptFile(zip, std::string(bytes.begin(), bytes.end()));
  const std::string base = zeGetBaseDirectory();
  EXPECT_EQ(run("ze.SetupFilesystemFromResource('" + zip + "') " + kSetup + "return ze.FileExist('inside.txt')"), "ok true");
  zeEngineStop();
  zeFilesystemReset(nullptr);
  zeSetBaseDirectory(base.c_str());
}

TEST(ScriptTable, HoldsEveryCommandOnceAndEachIsBoundOrMarked) {
  int count = 0;
  const ZeScriptCommand* commands = zeScriptCommands(&count);
  EXPECT_EQ(count, 263);
  std::set<std::string> names;
  for (int k = 0; k < count; ++k) {
    const ZeScriptCommand& c = commands[k];
    EXPECT_TRUE(names.insert(c.name).second) << c.name << " twice";
    const bool marked = (c.flags & (ZE_CMD_NOT_IMPLEMENTED | ZE_CMD_NOT_BUILT)) != 0;
    EXPECT_NE(c.call == nullptr, !marked) << c.name << ": a call, or a mark saying why there is none";
  }
}

TEST(ScriptTable, TheCheckedInReferenceIsUpToDate) {
  int count = 0;
  const ZeScriptCommand* commands = zeScriptCommands(&count);
  std::ifstream in(ZARN_SOURCE_DIR "/docs/lua-reference.md", std::ios::binary);
  std::stringstream checkedIn;
  checkedIn << in.rdbuf();
  EXPECT_TRUE(checkedIn.str() == zeScriptReference(commands, count))
      << "docs/lua-reference.md is stale: run build/script/zarn-luaref > docs/lua-reference.md";
}

}  // namespace
