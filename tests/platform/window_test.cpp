#include "platform/window.h"

#include <gtest/gtest.h>

#include "platform/headless/headless_window_system.h"

namespace corvenhal::platform {
namespace {

using headless::HeadlessWindow;
using headless::HeadlessWindowSystem;

WindowForm Form(const Text& name, const Text& title) {
  WindowForm f;
  f.name = name;
  f.title = title;
  f.width = 200;
  f.height = 100;
  ControlForm label;
  label.name = "label";
  label.kind = ControlKind::kLabel;
  label.caption = "start";
  ControlForm button;
  button.name = "button";
  button.kind = ControlKind::kButton;
  ControlForm box;
  box.name = "box";
  box.kind = ControlKind::kCheckBox;
  ControlForm list;
  list.name = "list";
  list.kind = ControlKind::kComboBox;
  list.items = {"a", "b"};
  list.selected = 0;
  f.controls = {label, button, box, list};
  return f;
}

TEST(HeadlessWindows, PropertiesByNameAndClicks) {
  HeadlessWindowSystem windows;
  auto w = windows.Open(Form("W", "t"), WindowRole::kMain);
  EXPECT_EQ(w->GetText("label"), "start");
  w->SetText("label", std::string("ab\0c", 4));
  EXPECT_EQ(w->GetText("label"), "ab");  // a control holds text up to its first zero byte
  EXPECT_EQ(w->GetSelectedText("list"), "a");
  w->SetSelected("list", 5);
  EXPECT_EQ(w->GetSelected("list"), -1);
  int clicks = 0;
  bool seenChecked = false;
  w->OnClick("box", [&] { ++clicks; seenChecked = w->GetChecked("box"); });
  auto* hw = static_cast<HeadlessWindow*>(w.get());
  hw->Click("box");
  EXPECT_TRUE(seenChecked);  // the state has toggled when the handler runs
  hw->Click("nosuch");
  EXPECT_EQ(clicks, 1);
}

TEST(HeadlessWindows, ModalWindowIsShownBeforeItsCreationWorkAndResumesOpener) {
  HeadlessWindowSystem windows;
  auto main = windows.Open(Form("Main", "m"), WindowRole::kMain);
  std::vector<std::string> order;
  main->OnClick("button", [&] {
    RunModal(windows, Form("Dialog", ""), [&](Window& dialog) {
      order.push_back(dialog.IsOpen() ? "created while shown" : "created hidden");
      windows.PostClose("Dialog");
    });
    order.push_back("opener resumed");
  });
  windows.PostClick("Main", "button");
  windows.PostClose("Main");
  windows.RunUntilClosed(*main);
  EXPECT_EQ(order, (std::vector<std::string>{"created while shown", "opener resumed"}));
  EXPECT_EQ(windows.FindWindow("Dialog")->Left(), kWindowLeft);
  EXPECT_EQ(windows.FindWindow("Dialog")->Top(), kWindowTop);
  EXPECT_EQ(windows.FindWindow("Dialog")->Form().title, "");
}

TEST(HeadlessWindows, MainClosedWhileHandlerIsSuspendedInPump) {
  HeadlessWindowSystem windows;
  auto main = windows.Open(Form("Main", "m"), WindowRole::kMain);
  bool handlerFinished = false;
  main->OnClick("button", [&] {
    RunModal(windows, Form("Verify", ""), [&](Window& verify) {
      // A long operation pumps events; the player closes the main window meanwhile.
      windows.PostClose("Main");
      windows.PumpEvents();
      EXPECT_FALSE(verify.IsOpen());
      verify.SetText("label", "after close");
      EXPECT_EQ(verify.GetText("label"), "start");
      EXPECT_TRUE(windows.Ending());
      // A resumed handler opens no further window.
      bool created = false;
      RunModal(windows, Form("Update", ""), [&](Window&) { created = true; });
      EXPECT_FALSE(created);
    });
    handlerFinished = true;
  });
  windows.PostClick("Main", "button");
  windows.RunUntilClosed(*main);
  EXPECT_TRUE(handlerFinished);  // the loop ends after the outermost handler returned
  EXPECT_EQ(windows.Opened().size(), 2u);
}

}  // namespace
}  // namespace corvenhal::platform
