// The engine's own windows under Xvfb, driven through the dialog probe: the
// display-mode dialog lists the X server's modes and answers "Start", the
// message box closes on OK, the file chooser on cancel.
#include <gtest/gtest.h>

#include <unistd.h>

#include <climits>
#include <string>

#include "app/zeDialogs.h"
#include "app/zeFileChooser.h"
#include "base/zeMessage.h"
#include "app/zeSetup.h"

using namespace irr;

namespace {

void postClick(IrrlichtDevice* device, s32 id, gui::EGUI_EVENT_TYPE type) {
  gui::IGUIElement* element = device->getGUIEnvironment()->getRootGUIElement()->getElementFromId(id, true);
  ASSERT_NE(element, nullptr) << "no element " << id;
  SEvent event{};
  event.EventType = EET_GUI_EVENT;
  event.GUIEvent.Caller = element;
  event.GUIEvent.EventType = type;
  if (type == gui::EGET_CHECKBOX_CHANGED) static_cast<gui::IGUICheckBox*>(element)->setChecked(true);
  device->postEventFromUser(event);
}

std::string modesShown;

void chooseWindowedThenStart(IrrlichtDevice* device, int frame) {
  if (frame == 1) {
    auto* list = static_cast<gui::IGUIComboBox*>(
        device->getGUIEnvironment()->getRootGUIElement()->getElementFromId(ZE_DIALOG_MODES, true));
    modesShown = list && list->getItemCount() > 0 ? core::stringc(list->getItem(0)).c_str() : "";
    postClick(device, ZE_DIALOG_WINDOWED, gui::EGET_CHECKBOX_CHANGED);
  }
  if (frame == 2) postClick(device, ZE_DIALOG_OK, gui::EGET_BUTTON_CLICKED);
}

void pressStart(IrrlichtDevice* device, int frame) {
  if (frame == 1) postClick(device, ZE_DIALOG_OK, gui::EGET_BUTTON_CLICKED);
}

void pressEscape(IrrlichtDevice* device, int frame) {
  if (frame != 1) return;
  SEvent event{};
  event.EventType = EET_KEY_INPUT_EVENT;
  event.KeyInput.Key = KEY_ESCAPE;
  event.KeyInput.PressedDown = true;
  device->postEventFromUser(event);
}

class Dialogs : public ::testing::Test {
 protected:
  void SetUp() override {
    zeResetMessageState();
    zeSetScreenModePresenter(nullptr);
    zeInstallDialogPresenters();
    ASSERT_TRUE(zeInteractive()) << "these tests need a display";
  }
  void TearDown() override { zeSetDialogProbe(nullptr); }
};

}  // namespace

TEST_F(Dialogs, DisplayModeDialogListsTheServersModesAndAnswersStart) {
  zeSetDialogProbe(chooseWindowedThenStart);
  ZeDisplayValues values;
  ASSERT_EQ(zeScreenModeDialog(&values), 0);
  // Xvfb runs one 1024 x 768 screen with a 24-bit visual, listed as 32 bits.
  EXPECT_EQ(modesShown, "1024 x  768");
  EXPECT_EQ(values.width, 1024);
  EXPECT_EQ(values.height, 768);
  EXPECT_EQ(values.depth, 32);
  EXPECT_EQ(values.windowed, 1);
  EXPECT_EQ(values.vsync, 1);
  EXPECT_EQ(values.windowX, -1);
  EXPECT_EQ(values.centered, 0);
  EXPECT_EQ(zeScreenModeOption("bpp"), 32);

  zeSetDialogProbe(pressStart);  // "Full screen" is checked when the dialog opens
  ASSERT_EQ(zeScreenModeDialog(&values), 0);
  EXPECT_EQ(values.windowed, 0);

  zeSetDialogProbe(pressEscape);
  EXPECT_EQ(zeScreenModeDialog(&values), -1);
}

std::string messageShown, buttonShown;

// Reads what the box shows, then presses OK.
void readBoxThenPressOk(IrrlichtDevice* device, int frame) {
  if (frame != 1) return;
  gui::IGUIElement* root = device->getGUIEnvironment()->getRootGUIElement();
  gui::IGUIElement* text = root->getElementFromId(ZE_DIALOG_MESSAGE, true);
  gui::IGUIElement* button = root->getElementFromId(ZE_DIALOG_OK, true);
  messageShown = text ? core::stringc(text->getText()).c_str() : "<no text>";
  buttonShown = button ? core::stringc(button->getText()).c_str() : "<no button>";
  postClick(device, ZE_DIALOG_OK, gui::EGET_BUTTON_CLICKED);
}

TEST_F(Dialogs, MessageBoxShowsTheTextAndClosesOnOk) {
  messageShown = buttonShown = "";
  zeSetDialogProbe(readBoxThenPressOk);
  zeReportError("Failed to load object %s\n", "cube.x");
  EXPECT_EQ(messageShown, "Failed to load object cube.x\n");
  EXPECT_EQ(buttonShown, "OK");
}

TEST_F(Dialogs, FileChooserCancelledAnswersNoneAndKeepsTheDirectory) {
  char before[PATH_MAX];
  ASSERT_NE(::getcwd(before, sizeof before), nullptr);
  zeSetDialogProbe(pressEscape);
  EXPECT_EQ(zeChooseFile("Open Zarn file", {{"All", "*.*"}}), nullptr);
  char after[PATH_MAX];
  ASSERT_NE(::getcwd(after, sizeof after), nullptr);
  EXPECT_STREQ(before, after);
}
