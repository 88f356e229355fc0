#include "app/MyEventReceiver.h"

using namespace irr;

void SZeJoystickState::copyFrom(const SEvent::SJoystickEvent& event) {
  buttons = static_cast<s32>(event.ButtonStates);
  axisX = event.Axis[SEvent::SJoystickEvent::AXIS_X];
  axisY = event.Axis[SEvent::SJoystickEvent::AXIS_Y];
  axisZ = event.Axis[SEvent::SJoystickEvent::AXIS_Z];
  axisR = event.Axis[SEvent::SJoystickEvent::AXIS_R];
  axisU = event.Axis[SEvent::SJoystickEvent::AXIS_U];
  axisV = event.Axis[SEvent::SJoystickEvent::AXIS_V];
  pov = event.POV;
}

void SZeEventReceiver::clear() { *this = SZeEventReceiver(); }

bool SZeEventReceiver::OnEvent(const SEvent& event) {
  switch (event.EventType) {
    case EET_KEY_INPUT_EVENT:
      if (event.KeyInput.Key < sizeof keys) keys[event.KeyInput.Key] = event.KeyInput.PressedDown ? 1 : 0;
      shift = event.KeyInput.Shift ? 1 : 0;
      break;
    case EET_MOUSE_INPUT_EVENT:
      mouseX = event.MouseInput.X;
      mouseY = event.MouseInput.Y;
      mouseWheel = event.MouseInput.Wheel;
      mouseModifiers = (event.MouseInput.Shift ? 1 : 0) | (event.MouseInput.Control ? 2 : 0);
      mouseButtons = static_cast<s32>(event.MouseInput.ButtonStates);
      mouseEvent = event.MouseInput.Event;
      break;
    case EET_JOYSTICK_INPUT_EVENT:
      if (event.JoystickEvent.Joystick == 0) joystick.copyFrom(event.JoystickEvent);
      break;
    default:
      break;
  }
  return false;
}

bool MyEventReceiver::OnEvent(const SEvent& event) {
  switch (event.EventType) {
    case EET_KEY_INPUT_EVENT: {
      const unsigned key = event.KeyInput.Key;
      if (key < ZE_KEY_ESCAPE_LATCH) keys[key] = event.KeyInput.PressedDown ? 1 : 0;
      keys[ZE_KEY_SHIFT_STATE] = event.KeyInput.Shift ? 1 : 0;
      if (key == KEY_ESCAPE && event.KeyInput.PressedDown) keys[ZE_KEY_ESCAPE_LATCH] = 1;
      break;
    }
    case EET_MOUSE_INPUT_EVENT:
      switch (event.MouseInput.Event) {
        case EMIE_LMOUSE_PRESSED_DOWN: leftButton = 1; break;
        case EMIE_LMOUSE_LEFT_UP: leftButton = 0; break;
        case EMIE_RMOUSE_PRESSED_DOWN: rightButton = 1; break;
        case EMIE_RMOUSE_LEFT_UP: rightButton = 0; break;
        case EMIE_MOUSE_WHEEL: wheel += event.MouseInput.Wheel; break;
        default: break;
      }
      mouseX = event.MouseInput.X;
      mouseY = event.MouseInput.Y;
      break;
    case EET_USER_EVENT:
      if (event.UserEvent.UserData1 == ZE_SYNC_USER_EVENT) syncValue = event.UserEvent.UserData2;
      break;
    case EET_JOYSTICK_INPUT_EVENT:
      if (event.JoystickEvent.Joystick == 0) joystick.copyFrom(event.JoystickEvent);
      break;
    default:
      break;
  }
  if (forward) forward->OnEvent(event);
  return false;
}

void MyEventReceiver::reset() {
  IEventReceiver* keep = forward;
  *this = MyEventReceiver();
  forward = keep;
}

MyEventReceiver& zeEventReceiver() {
  static MyEventReceiver receiver;
  return receiver;
}
