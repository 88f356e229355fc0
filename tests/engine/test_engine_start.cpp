// Engine start and stop on the NULL driver: creation parameters, the
// context's lifecycle, start failures and their reasons, and input delivery.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <type_traits>
#include <utility>

#include "app/CZeManager.h"
#include "app/IZeRenderer.h"
#include "app/MyEventReceiver.h"
#include "app/zeEngine.h"
#include "app/zeFrame.h"
#include "base/zeMessage.h"
#include "support/countingRenderer.h"

using namespace irr;

namespace {

class EngineStart : public ::testing::Test {
 protected:
  void SetUp() override {
    zeResetMessageState();
    zeDisableMessageBoxes();
    for (int i = 0; i < static_cast<int>(ZeEngineStep::Count); ++i) zeSetEngineStep(static_cast<ZeEngineStep>(i), {});
    for (int i = 0; i < static_cast<int>(ZeManagerSlot::Count); ++i) zeSetManagerSlot(static_cast<ZeManagerSlot>(i), {});
    installCountingMainRenderer();
  }
  void TearDown() override { zeEngineStop(); }

  static std::string lastError() {
    const char* text = zeGetLastError(nullptr);
    return text ? text : "";
  }
};

ZeEngineSettings settingsOf(int width, int height, int depth, int windowed, int vsync, int antialias, int prePass) {
  ZeEngineSettings s;
  s.width = width;
  s.height = height;
  s.depth = depth;
  s.windowed = windowed;
  s.vsync = vsync;
  s.antialias = antialias;
  s.lightPrePass = prePass;
  return s;
}

}  // namespace

TEST_F(EngineStart, SettingsBecomeCreationParametersByTheUnsetRules) {
  struct Case {
    const char* what;
    ZeEngineSettings settings;
    u32 width, height;
    u8 bits;
    bool fullscreen, vsync;
    u8 samples;
  };
  const Case cases[] = {
      {"all unset", settingsOf(-1, -1, -1, -1, -1, -1, -1), 640, 480, 32, false, true, 0},
      {"antialias, no pre-pass", settingsOf(-1, -1, -1, -1, -1, 1, 0), 640, 480, 32, false, true, 4},
      {"antialias with pre-pass", settingsOf(-1, -1, -1, -1, -1, 1, 1), 640, 480, 32, false, true, 0},
      {"antialias unset, pre-pass off", settingsOf(-1, -1, -1, -1, -1, -1, 0), 640, 480, 32, false, true, 4},
      {"full screen only at 0", settingsOf(800, 600, 16, 0, 0, 0, 0), 800, 600, 16, true, false, 0},
      {"windowed 2 is windowed", settingsOf(320, 240, 32, 2, 5, 0, 1), 320, 240, 32, false, true, 0},
  };
  MyEventReceiver receiver;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const SIrrlichtCreationParameters p = zeCreationParameters(c.settings, &receiver);
    EXPECT_EQ(p.WindowSize.Width, c.width);
    EXPECT_EQ(p.WindowSize.Height, c.height);
    EXPECT_EQ(p.Bits, c.bits);
    EXPECT_EQ(p.Fullscreen, c.fullscreen);
    EXPECT_EQ(p.Vsync, c.vsync);
    EXPECT_EQ(p.AntiAlias, c.samples);
    EXPECT_EQ(p.ZBufferBits, 24);  // not 16: the pre-pass and shadows need it
    EXPECT_TRUE(p.Stencilbuffer);
    EXPECT_TRUE(p.Doublebuffer);
    EXPECT_EQ(p.EventReceiver, &receiver);
    EXPECT_EQ(p.DriverType, video::EDT_NULL);  // ZARN_DRIVER=null
  }
}

TEST_F(EngineStart, CameraRangeFallsBackWhenNearEqualsFar) {
  struct Case {
    float nearIn, farIn, nearOut, farOut;
  } cases[] = {{0.5f, 200.f, 0.5f, 200.f}, {5.f, 5.f, 0.1f, 1000.f}, {-1.f, -1.f, 0.1f, 1000.f}};
  for (const Case& c : cases) {
    ZeEngineSettings s;
    s.cameraNear = c.nearIn;
    s.cameraFar = c.farIn;
    ASSERT_EQ(zeEngineStart(s), 0);
    EXPECT_FLOAT_EQ(zeEngineContext().camera->getNearValue(), c.nearOut);
    EXPECT_FLOAT_EQ(zeEngineContext().camera->getFarValue(), c.farOut);
  }
}

TEST_F(EngineStart, StartFillsTheContextAndStopClearsIt) {
  ZeEngineSettings s = settingsOf(320, 240, -1, -1, -1, 1, 0);
  s.stereo = 2;
  ASSERT_EQ(zeEngineStart(s), 0);
  ZeEngineContext& c = zeEngineContext();
  EXPECT_TRUE(zeEngineRunning());
  EXPECT_TRUE(c.initialised);
  EXPECT_NE(c.device, nullptr);
  EXPECT_NE(c.driver, nullptr);
  EXPECT_NE(c.sceneManager, nullptr);
  EXPECT_NE(c.gui, nullptr);
  EXPECT_NE(c.font, nullptr);
  ASSERT_NE(c.camera, nullptr);
  EXPECT_EQ(c.sceneManager->getActiveCamera(), c.camera);
  EXPECT_EQ(c.camera->getTarget(), core::vector3df(0, 0, 100));
  EXPECT_NE(c.manager, nullptr);
  EXPECT_EQ(c.width, 320);
  EXPECT_EQ(c.height, 240);
  EXPECT_EQ(c.depth, 32);
  EXPECT_TRUE(c.antialias);
  EXPECT_EQ(c.stereo, 2);
  EXPECT_FALSE(c.lightPrePass);
  EXPECT_EQ(c.filteredReflection, 1);
  auto expectTable = [](const auto& table) {
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->capacity(), 1000);
  };
  expectTable(c.images);
  expectTable(c.objects);
  expectTable(c.lights);
  expectTable(c.effects);
  // The main renderer is made and current.
  ASSERT_NE(zeMainRenderer(), nullptr);
  EXPECT_EQ(zeCurrentRenderer(), zeMainRenderer());
  EXPECT_EQ(zeGetBackdropColour(), 0u);
  EXPECT_TRUE(c.sceneManager->getParameters()->getAttributeAsBool(scene::ALLOW_ZWRITE_ON_TRANSPARENT));
  EXPECT_EQ(zeEventReceiver().forward, c.manager->getInputRecord());

  // A second start stops the first.
  ASSERT_EQ(zeEngineStart(settingsOf(200, 100, -1, -1, -1, -1, -1)), 0);
  EXPECT_EQ(zeEngineContext().width, 200);

  zeEngineStop();
  EXPECT_FALSE(zeEngineRunning());
  EXPECT_EQ(c.device, nullptr);
  EXPECT_EQ(c.manager, nullptr);
  EXPECT_EQ(c.images, nullptr);
  EXPECT_EQ(c.effects, nullptr);
  EXPECT_EQ(zeMainRenderer(), nullptr);
  EXPECT_EQ(zeCurrentRenderer(), nullptr);
  EXPECT_EQ(c.width, 0);
  EXPECT_EQ(zeEventReceiver().forward, nullptr);
  zeEngineStop();  // stopping a stopped engine does nothing
  EXPECT_FALSE(zeEngineRunning());
}

// --- Start failures: each reaches the user as "Setup failed: %s" ----------------

namespace {
bool failWithReason(ZeEngineContext&, char* reason) {
  zeFormatText(reason, "fails to init Harmonics.hlsl");
  return false;
}
bool failSilently(ZeEngineContext&, char*) { return false; }
bool failManagerSlot(CZeManager&) { return false; }
IZeRenderer* noRenderer(ZeEngineContext&, char*) { return nullptr; }
IZeRenderer* noRendererWithReason(ZeEngineContext&, char* reason) {
  zeFormatText(reason, "fails to init render: Lpp.hlsl(3): error");
  return nullptr;
}

int started = 0, stopped = 0;
bool countStart(ZeEngineContext&, char*) { return ++started > 0; }
void countStop(ZeEngineContext&) { ++stopped; }
}  // namespace

TEST_F(EngineStart, EachStartFailureNamesItsReasonAndLeavesTheEngineStopped) {
  struct Case {
    const char* what;
    void (*arrange)();
    const char* expected;
  } cases[] = {
      {"device step", [] { zeSetEngineStep(ZeEngineStep::Device, {failWithReason, nullptr}); },
       "Setup failed: fails to init Harmonics.hlsl"},
      {"engine manager", [] { zeSetManagerSlot(ZeManagerSlot::EffectManager, {failManagerSlot, nullptr}); },
       "Setup failed: fails to createZeManager"},
      {"main renderer without a reason", [] { zeSetMainRendererFactory(noRenderer); },
       "Setup failed: fails to init render"},
      {"main renderer with its reason", [] { zeSetMainRendererFactory(noRendererWithReason); },
       "Setup failed: fails to init render: Lpp.hlsl(3): error"},
      {"no renderer in the program", [] { zeSetMainRendererFactory(nullptr); },
       "Setup failed: fails to init render: no renderer is linked into this program"},
      {"resource shaders", [] { zeSetEngineStep(ZeEngineStep::Resources, {failWithReason, nullptr}); },
       "Setup failed: fails to init Harmonics.hlsl"},
      {"music", [] { zeSetEngineStep(ZeEngineStep::Music, {failSilently, nullptr}); },
       "Failed to setup music replay"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetUp();
    c.arrange();
    EXPECT_EQ(zeEngineStart(ZeEngineSettings()), -1);
    int value = 0;
    const char* text = zeGetLastError(&value);
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, c.expected);
    EXPECT_EQ(value, -1);
    EXPECT_FALSE(zeEngineRunning());
    EXPECT_EQ(zeEngineContext().device, nullptr);
    EXPECT_EQ(zeEngineContext().manager, nullptr);
    EXPECT_EQ(zeEngineContext().images, nullptr);
    EXPECT_EQ(zeEventReceiver().forward, nullptr);
  }
}

TEST_F(EngineStart, DeviceCreationFailureIsReportedWithItsReason) {
  // OpenGL with no display cannot create a device.
  setenv("ZARN_DRIVER", "opengl", 1);
  unsetenv("DISPLAY");
  EXPECT_EQ(zeEngineStart(ZeEngineSettings()), -1);
  EXPECT_EQ(lastError(), "Setup failed: fails to createDevice");
  EXPECT_STREQ(zeStartFailureReason(), "fails to createDevice");
  EXPECT_FALSE(zeEngineRunning());
  setenv("ZARN_DRIVER", "null", 1);
}

TEST_F(EngineStart, StepsThatStartedAreStoppedWhenALaterStepFails) {
  started = stopped = 0;
  zeSetEngineStep(ZeEngineStep::Device, {countStart, countStop});
  zeSetEngineStep(ZeEngineStep::Resources, {countStart, countStop});
  zeSetEngineStep(ZeEngineStep::Music, {failSilently, nullptr});
  EXPECT_EQ(zeEngineStart(ZeEngineSettings()), -1);
  EXPECT_EQ(started, 2);
  EXPECT_EQ(stopped, 2);
}

// --- Engine manager slots --------------------------------------------------------

namespace {
std::string order;
template <char Tag>
bool makeSlot(CZeManager&) {
  order += Tag;
  return true;
}
template <char Tag>
void dropSlot(CZeManager&) {
  order += static_cast<char>(Tag - 'A' + 'a');
}
}  // namespace

// Whether `manager.setSceneManager(object)` compiles for an Object*.
template <typename Object, typename = void>
struct WiresAsSceneManager : std::false_type {};
template <typename Object>
struct WiresAsSceneManager<Object, std::void_t<decltype(std::declval<CZeManager&>().setSceneManager(
                                       std::declval<Object*>()))>> : std::true_type {};
static_assert(WiresAsSceneManager<CZeSceneManager>::value, "the scene manager fits its slot");
static_assert(!WiresAsSceneManager<CZeEffectManager>::value, "another manager does not");
static_assert(!WiresAsSceneManager<void>::value, "nor an untyped pointer");

TEST_F(EngineStart, ManagerBuildsSlotsInOrderAndReleasesThemBackwards) {
  order.clear();
  zeSetManagerSlot(ZeManagerSlot::ResourceManager, {makeSlot<'D'>, dropSlot<'D'>});
  zeSetManagerSlot(ZeManagerSlot::GPUProgrammingServices, {makeSlot<'A'>, dropSlot<'A'>});
  zeSetManagerSlot(ZeManagerSlot::EffectManager, {makeSlot<'C'>, dropSlot<'C'>});
  zeSetManagerSlot(ZeManagerSlot::SceneManager, {makeSlot<'B'>, dropSlot<'B'>});
  ASSERT_EQ(zeEngineStart(ZeEngineSettings()), 0);
  EXPECT_EQ(order, "ABCD");
  zeEngineStop();
  EXPECT_EQ(order, "ABCDdcba");

  // A failing slot releases only what was built before it.
  order.clear();
  zeSetManagerSlot(ZeManagerSlot::EffectManager, {failManagerSlot, dropSlot<'C'>});
  EXPECT_EQ(zeEngineStart(ZeEngineSettings()), -1);
  EXPECT_EQ(order, "ABba");
}

// --- Input -------------------------------------------------------------------------

namespace {
SEvent keyEvent(EKEY_CODE key, bool down, bool shift) {
  SEvent e{};
  e.EventType = EET_KEY_INPUT_EVENT;
  e.KeyInput.Key = key;
  e.KeyInput.PressedDown = down;
  e.KeyInput.Shift = shift;
  return e;
}
SEvent mouseEvent(EMOUSE_INPUT_EVENT kind, s32 x, s32 y, f32 wheel) {
  SEvent e{};
  e.EventType = EET_MOUSE_INPUT_EVENT;
  e.MouseInput.Event = kind;
  e.MouseInput.X = x;
  e.MouseInput.Y = y;
  e.MouseInput.Wheel = wheel;
  e.MouseInput.Control = true;
  e.MouseInput.ButtonStates = EMBSM_LEFT;
  return e;
}
}  // namespace

TEST_F(EngineStart, EventsPostedToTheDeviceReachBothReceivers) {
  zeEventReceiver().reset();
  ASSERT_EQ(zeEngineStart(ZeEngineSettings()), 0);
  IrrlichtDevice* device = zeEngineContext().device;
  MyEventReceiver& mine = zeEventReceiver();
  SZeEventReceiver& record = *zeEngineContext().manager->getInputRecord();

  device->postEventFromUser(keyEvent(KEY_KEY_A, true, true));
  EXPECT_EQ(mine.keys[KEY_KEY_A], 1);
  EXPECT_EQ(mine.keys[ZE_KEY_SHIFT_STATE], 1);
  EXPECT_EQ(record.keys[KEY_KEY_A], 1);
  EXPECT_EQ(record.shift, 1);
  device->postEventFromUser(keyEvent(KEY_KEY_A, false, false));
  EXPECT_EQ(mine.keys[KEY_KEY_A], 0);
  EXPECT_EQ(mine.keys[ZE_KEY_SHIFT_STATE], 0);
  EXPECT_EQ(record.keys[KEY_KEY_A], 0);

  // Escape latches for good, also after the key is released.
  EXPECT_FALSE(mine.escapeLatched());
  device->postEventFromUser(keyEvent(KEY_ESCAPE, true, false));
  device->postEventFromUser(keyEvent(KEY_ESCAPE, false, false));
  EXPECT_TRUE(mine.escapeLatched());
  EXPECT_EQ(mine.keys[KEY_ESCAPE], 0);

  // Wheel steps add up; buttons and position follow the events.
  device->postEventFromUser(mouseEvent(EMIE_MOUSE_WHEEL, 5, 6, 1.0f));
  device->postEventFromUser(mouseEvent(EMIE_MOUSE_WHEEL, 5, 6, 2.0f));
  device->postEventFromUser(mouseEvent(EMIE_LMOUSE_PRESSED_DOWN, 30, 40, 0));
  EXPECT_FLOAT_EQ(mine.wheel, 3.0f);
  EXPECT_EQ(mine.leftButton, 1);
  EXPECT_EQ(mine.mouseX, 30);
  EXPECT_EQ(mine.mouseY, 40);
  EXPECT_EQ(record.mouseX, 30);
  EXPECT_EQ(record.mouseY, 40);
  EXPECT_EQ(record.mouseEvent, EMIE_LMOUSE_PRESSED_DOWN);
  EXPECT_EQ(record.mouseModifiers, 2);
  EXPECT_EQ(record.mouseButtons, EMBSM_LEFT);
  device->postEventFromUser(mouseEvent(EMIE_LMOUSE_LEFT_UP, 31, 41, 0));
  EXPECT_EQ(mine.leftButton, 0);
  device->postEventFromUser(mouseEvent(EMIE_RMOUSE_PRESSED_DOWN, 31, 41, 0));
  EXPECT_EQ(mine.rightButton, 1);

  // Layout's frame arrives as user event 0x7000; other codes are ignored.
  SEvent user{};
  user.EventType = EET_USER_EVENT;
  user.UserEvent.UserData1 = 0x7000;
  user.UserEvent.UserData2 = 1234;
  device->postEventFromUser(user);
  EXPECT_EQ(mine.syncValue, 1234);
  user.UserEvent.UserData1 = 0x7001;
  user.UserEvent.UserData2 = 99;
  device->postEventFromUser(user);
  EXPECT_EQ(mine.syncValue, 1234);

  // Joystick 0 is kept; other joysticks are not.
  SEvent joy{};
  joy.EventType = EET_JOYSTICK_INPUT_EVENT;
  joy.JoystickEvent.Joystick = 0;
  joy.JoystickEvent.ButtonStates = 5;
  joy.JoystickEvent.Axis[SEvent::SJoystickEvent::AXIS_X] = -300;
  joy.JoystickEvent.Axis[SEvent::SJoystickEvent::AXIS_Y] = 200;
  joy.JoystickEvent.POV = 9000;
  device->postEventFromUser(joy);
  joy.JoystickEvent.Joystick = 1;
  joy.JoystickEvent.ButtonStates = 7;
  device->postEventFromUser(joy);
  EXPECT_EQ(mine.joystick.buttons, 5);
  EXPECT_EQ(mine.joystick.axisX, -300);
  EXPECT_EQ(mine.joystick.axisY, 200);
  EXPECT_EQ(mine.joystick.pov, 9000);
  EXPECT_EQ(record.joystick.buttons, 5);
}
