// Contents: dialog device and loop · message box · file chooser ·
// display-mode dialog · presenters.
#include "app/zeDialogs.h"

#include <cstdio>
#include <vector>

#include "app/zeEngine.h"
#include "app/zeFrame.h"
#include "base/zeMessage.h"
#include "app/zeDisplayModes.h"
#include "app/zeX11Window.h"

using namespace irr;

namespace {

ZeDialogProbe dialogProbe = nullptr;

// Collects the GUI events a dialog waits for.
class DialogReceiver : public IEventReceiver {
 public:
  bool OnEvent(const SEvent& event) override {
    if (event.EventType == EET_GUI_EVENT) {
      gui::IGUIElement* caller = event.GUIEvent.Caller;
      const s32 id = caller ? caller->getID() : -1;
      switch (event.GUIEvent.EventType) {
        case gui::EGET_BUTTON_CLICKED:
          if (id == ZE_DIALOG_OK) accepted = done = true;
          break;
        case gui::EGET_CHECKBOX_CHANGED:
          checkboxChanged = id;
          break;
        case gui::EGET_FILE_SELECTED:
          if (auto* dialog = static_cast<gui::IGUIFileOpenDialog*>(caller)) {
            file = core::stringc(dialog->getFileName()).c_str();
            accepted = done = true;
          }
          break;
        case gui::EGET_FILE_CHOOSE_DIALOG_CANCELLED:
        case gui::EGET_ELEMENT_CLOSED:
          done = true;
          break;
        default:
          break;
      }
    } else if (event.EventType == EET_KEY_INPUT_EVENT && event.KeyInput.PressedDown &&
               event.KeyInput.Key == KEY_ESCAPE) {
      done = true;
    }
    return false;
  }
  bool done = false;
  bool accepted = false;
  s32 checkboxChanged = -1;
  std::string file;
};

IrrlichtDevice* openDialogDevice(int width, int height, const wchar_t* caption, DialogReceiver* receiver) {
  zeX11::holdDisplay();
  SIrrlichtCreationParameters p;
  p.DriverType = video::EDT_BURNINGSVIDEO;
  p.WindowSize = core::dimension2du(width, height);
  p.Bits = 32;
  p.EventReceiver = receiver;
  p.LoggingLevel = ELL_NONE;
  IrrlichtDevice* device = createDeviceEx(p);
  if (device) device->setWindowCaption(caption);
  return device;
}

void runDialog(IrrlichtDevice* device, DialogReceiver* receiver, void (*onFrame)(IrrlichtDevice*, DialogReceiver*)) {
  int frame = 0;
  while (!receiver->done && device->run()) {
    if (onFrame) onFrame(device, receiver);
    video::IVideoDriver* driver = device->getVideoDriver();
    driver->beginScene(true, true, video::SColor(255, 0, 0, 0));
    device->getGUIEnvironment()->drawAll();
    driver->endScene();
    if (dialogProbe) dialogProbe(device, frame);
    ++frame;
    device->sleep(10);
  }
}

void styleSkin(gui::IGUIEnvironment* gui) {
  gui::IGUISkin* skin = gui->getSkin();
  const video::SColor lightGrey(255, 0xAA, 0xAA, 0xAA);
  skin->setColor(gui::EGDC_BUTTON_TEXT, lightGrey);
  skin->setColor(gui::EGDC_WINDOW, video::SColor(255, 0, 0, 0));
  skin->setColor(gui::EGDC_3D_FACE, video::SColor(255, 0x20, 0x20, 0x20));
}

// The engine's window hides while a box is up, and comes back normal.
struct EngineWindowHidden {
  EngineWindowHidden() : engine(zeEngineRunning()) {
    if (engine) zeHideWindow();
  }
  ~EngineWindowHidden() {
    if (engine) zeShowWindow();
  }
  bool engine;
};

}  // namespace

void zeSetDialogProbe(ZeDialogProbe probe) { dialogProbe = probe; }

// --- Message box -------------------------------------------------------------------

void zeShowMessageBoxWindow(const char* caption, const char* text) {
  if (!zeInteractive()) {
    std::fprintf(stderr, "%s: %s\n", caption, text);
    std::fflush(stderr);
    return;
  }
  EngineWindowHidden hidden;
  DialogReceiver receiver;
  IrrlichtDevice* device = openDialogDevice(420, 160, core::stringw(caption).c_str(), &receiver);
  if (!device) {
    std::fprintf(stderr, "%s: %s\n", caption, text);
    return;
  }
  gui::IGUIEnvironment* gui = device->getGUIEnvironment();
  styleSkin(gui);
  gui->addStaticText(core::stringw(text).c_str(), core::recti(12, 12, 408, 110), false, true, nullptr,
                     ZE_DIALOG_MESSAGE);
  gui->addButton(core::recti(170, 120, 250, 148), nullptr, ZE_DIALOG_OK, L"OK");
  runDialog(device, &receiver, nullptr);
  device->closeDevice();
  device->run();
  device->drop();
}

// --- File chooser ------------------------------------------------------------------

bool zeShowFileChooserWindow(const char* title, const ZeFileFilters& filters, std::string* chosen) {
  if (!zeInteractive()) return false;
  DialogReceiver receiver;
  IrrlichtDevice* device = openDialogDevice(560, 420, core::stringw(title).c_str(), &receiver);
  if (!device) return false;
  gui::IGUIEnvironment* gui = device->getGUIEnvironment();
  styleSkin(gui);
  // The filters are listed for the user; the dialog itself lists every file.
  core::stringw hint = L"Types: ";
  for (const auto& filter : filters) {
    hint += core::stringw(filter.first.c_str());
    hint += L"  ";
  }
  gui->addStaticText(hint.c_str(), core::recti(8, 392, 552, 414), false, false);
  gui::IGUIFileOpenDialog* dialog = gui->addFileOpenDialog(core::stringw(title).c_str(), true, nullptr, ZE_DIALOG_FILE);
  if (dialog) dialog->setRelativePosition(core::recti(8, 8, 552, 384));
  runDialog(device, &receiver, nullptr);
  device->closeDevice();
  device->run();
  device->drop();
  if (!receiver.accepted || receiver.file.empty()) return false;
  *chosen = receiver.file;
  return true;
}

// --- Display-mode dialog -----------------------------------------------------------

namespace {

// "Full screen" and "Windowed" behave as one radio group.
void keepRadioGroup(IrrlichtDevice* device, DialogReceiver* receiver) {
  if (receiver->checkboxChanged < 0) return;
  gui::IGUIElement* root = device->getGUIEnvironment()->getRootGUIElement();
  auto* full = static_cast<gui::IGUICheckBox*>(root->getElementFromId(ZE_DIALOG_FULL_SCREEN, true));
  auto* windowed = static_cast<gui::IGUICheckBox*>(root->getElementFromId(ZE_DIALOG_WINDOWED, true));
  if (full && windowed) {
    const bool fullChosen = receiver->checkboxChanged == ZE_DIALOG_FULL_SCREEN;
    full->setChecked(fullChosen);
    windowed->setChecked(!fullChosen);
  }
  receiver->checkboxChanged = -1;
}

}  // namespace

bool zeShowScreenModeDialog(ZeDisplayMode* mode, bool* fullScreen) {
  if (!zeInteractive()) return false;
  DialogReceiver receiver;
  IrrlichtDevice* device = openDialogDevice(446, 266, L"Zarn", &receiver);
  if (!device) return false;
  gui::IGUIEnvironment* gui = device->getGUIEnvironment();
  styleSkin(gui);

  ZeDisplayMode desktop;
  std::vector<ZeDisplayMode> system;
  zeX11::displayModes(&system, &desktop);
  const std::vector<ZeDisplayMode> modes = zeListDisplayModes(system);
  gui->addStaticText(L"Zarn", core::recti(16, 12, 430, 40), false, false);
  gui::IGUIComboBox* list = gui->addComboBox(core::recti(16, 60, 300, 84), nullptr, ZE_DIALOG_MODES);
  for (const ZeDisplayMode& m : modes) list->addItem(core::stringw(zeDisplayModeLabel(m).c_str()).c_str());
  const int initial = zeInitialDisplayMode(modes, desktop);
  if (initial >= 0) list->setSelected(initial);
  gui->addCheckBox(true, core::recti(16, 100, 200, 124), nullptr, ZE_DIALOG_FULL_SCREEN, L"Full screen");
  gui->addCheckBox(false, core::recti(16, 128, 200, 152), nullptr, ZE_DIALOG_WINDOWED, L"Windowed");
  // The shader translator is linked in, so there is no library to miss.
  gui::IGUIStaticText* warning = gui->addStaticText(L"", core::recti(16, 160, 430, 200), false, true, nullptr,
                                                    ZE_DIALOG_WARNING);
  warning->setOverrideColor(video::SColor(255, 0xFF, 0x88, 0x44));
  warning->setTextAlignment(gui::EGUIA_CENTER, gui::EGUIA_UPPERLEFT);
  gui->addButton(core::recti(330, 216, 430, 250), nullptr, ZE_DIALOG_OK, L"Start");

  bool confirmed = false;
  for (;;) {
    runDialog(device, &receiver, keepRadioGroup);
    if (!receiver.accepted) break;
    const s32 selected = list->getSelected();
    if (selected < 0 || selected >= static_cast<s32>(modes.size())) {
      // "Start" with no mode chosen: the dialog stays open.
      receiver.accepted = receiver.done = false;
      continue;
    }
    auto* full = static_cast<gui::IGUICheckBox*>(gui->getRootGUIElement()->getElementFromId(ZE_DIALOG_FULL_SCREEN, true));
    *mode = modes[selected];
    *fullScreen = full && full->isChecked();
    confirmed = true;
    break;
  }
  device->closeDevice();
  device->run();
  device->drop();
  return confirmed;
}

// --- Presenters --------------------------------------------------------------------

void zeInstallDialogPresenters() {
  zeSetMessageBoxPresenter(zeShowMessageBoxWindow);
  zeSetFileChooserPresenter(zeShowFileChooserWindow);
  zeSetScreenModePresenter(zeShowScreenModeDialog, true);
}
