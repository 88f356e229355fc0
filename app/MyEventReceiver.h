// Input state. The device hands every event to one MyEventReceiver; it keeps
// keys, mouse, wheel, the Layout sync value and joystick 0, then passes the
// event to an optional forward receiver (the engine manager's SZeEventReceiver).
// Neither consumes an event, so the GUI still sees everything.
#pragma once

#include <irrlicht.h>

// Code of the user event that carries LightWave Layout's current frame.
constexpr irr::s32 ZE_SYNC_USER_EVENT = 0x7000;
// Key index that follows the shift state, and the escape latch.
constexpr int ZE_KEY_SHIFT_STATE = 16;
constexpr int ZE_KEY_ESCAPE_LATCH = 255;

// The last event of joystick 0: buttons, axes X, Y, Z, R, U and V, point of view.
struct SZeJoystickState {
  irr::s32 buttons = 0;
  irr::s32 axisX = 0;
  irr::s32 axisY = 0;
  irr::s32 axisZ = 0;
  irr::s32 axisR = 0;
  irr::s32 axisU = 0;
  irr::s32 axisV = 0;
  irr::s32 pov = 0;
  void copyFrom(const irr::SEvent::SJoystickEvent& event);
};

// The engine manager's input record: read by effect parameter binding.
struct SZeEventReceiver : public irr::IEventReceiver {
  unsigned char keys[255] = {};
  unsigned char shift = 0;
  // The last mouse event.
  irr::s32 mouseX = 0;
  irr::s32 mouseY = 0;
  irr::f32 mouseWheel = 0;
  irr::s32 mouseModifiers = 0;  // 1 shift, 2 control
  irr::s32 mouseButtons = 0;    // irr::E_MOUSE_BUTTON_STATE_MASK bits
  irr::s32 mouseEvent = 0;      // irr::EMOUSE_INPUT_EVENT
  SZeJoystickState joystick;

  void clear();
  bool OnEvent(const irr::SEvent& event) override;
};

class MyEventReceiver : public irr::IEventReceiver {
 public:
  unsigned char leftButton = 0;
  unsigned char rightButton = 0;
  irr::s32 mouseX = 0;
  irr::s32 mouseY = 0;
  irr::f32 wheel = 0;  // sum of every wheel step since the process started
  irr::s32 syncValue = 0;
  irr::IEventReceiver* forward = nullptr;
  // 1 while pressed; [16] follows shift; [255] latches escape for good.
  unsigned char keys[256] = {};
  SZeJoystickState joystick;

  bool OnEvent(const irr::SEvent& event) override;
  bool escapeLatched() const { return keys[ZE_KEY_ESCAPE_LATCH] != 0; }
  // Back to the initial state (tests; the latch is otherwise never cleared).
  void reset();
};

// The one instance the device delivers events to.
MyEventReceiver& zeEventReceiver();
