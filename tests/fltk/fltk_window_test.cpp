// The FLTK window system on a virtual X display of its own (Xvfb), driven by
// real input: clicks through xdotool, closes as a window manager sends them.
#include "platform/portable/fltk/fltk_window_system.h"

#include <FL/Fl.H>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

// FLTK's JPEG reader and fontconfig keep allocations until the process ends.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig\nleak:libfltk_images\n"; }

namespace corvenhal::platform::portable {
namespace {

class XvfbEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    pid_ = fork();
    ASSERT_GE(pid_, 0);
    if (pid_ == 0) {
      close(fds[0]);
      std::string fd = std::to_string(fds[1]);
      freopen("/dev/null", "w", stdout);
      freopen("/dev/null", "w", stderr);
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
             static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    // Xvfb writes its display number once it accepts connections.
    std::string number;
    pollfd p{fds[0], POLLIN, 0};
    char c = 0;
    while (poll(&p, 1, 10000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    ASSERT_FALSE(number.empty()) << "Xvfb did not start (tools/setup.sh installs it)";
    setenv("DISPLAY", (":" + number).c_str(), 1);
  }
  void TearDown() override {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }

 private:
  pid_t pid_ = -1;
};

const auto* const kXvfb = ::testing::AddGlobalTestEnvironment(new XvfbEnvironment);

// A test that hangs in an event loop has failed: end it with a message.
void Watchdog(void*) {
  std::fprintf(stderr, "fltk_window_test: an event loop did not end within 20 s\n");
  std::_Exit(1);
}

class FltkWindows : public ::testing::Test {
 protected:
  void SetUp() override { Fl::add_timeout(20.0, Watchdog); }
  void TearDown() override { Fl::remove_timeout(Watchdog); }

  // Waits until the window titled `title` is mapped, then clicks at the
  // window position (x, y) of it (windows open at 50, 50; no window manager).
  static void Click(const std::string& title, int x, int y) {
    std::string command = "timeout 10 xdotool search --sync --onlyvisible --name '^" + title +
                          "$' >/dev/null && xdotool mousemove " + std::to_string(kWindowLeft + x) + " " +
                          std::to_string(kWindowTop + y) + " click 1";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
  }

  // Asks the window titled `title` to close as a window manager does.
  static void WmClose(const std::string& title) {
    std::string command = "python3 " CORVENHAL_SOURCE_DIR "/tools/wm_close.py \"$(xdotool search --name '^" + title +
                          "$' | head -n 1)\"";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
  }
};

WindowForm Form(const Text& title) {
  WindowForm f;
  f.name = title;
  f.title = title;
  f.width = 240;
  f.height = 120;
  ControlForm label;
  label.name = "label";
  label.kind = ControlKind::kLabel;
  label.left = 10;
  label.top = 90;
  label.width = 200;
  label.height = 16;
  label.caption = "start";
  label.transparent = true;
  ControlForm button;
  button.name = "button";
  button.kind = ControlKind::kButton;
  button.left = 10;
  button.top = 10;
  button.width = 80;
  button.height = 30;
  button.caption = "go";
  ControlForm box;
  box.name = "box";
  box.kind = ControlKind::kCheckBox;
  box.left = 10;
  box.top = 50;
  box.width = 120;
  box.height = 20;
  ControlForm list;
  list.name = "list";
  list.kind = ControlKind::kComboBox;
  list.left = 130;
  list.top = 10;
  list.width = 100;
  list.height = 24;
  list.items = {"a", "a", "b&c"};
  list.selected = 0;
  f.controls = {label, button, box, list};
  return f;
}

TEST_F(FltkWindows, ControlsKeepTheProgramTextAsWritten) {
  FltkWindowSystem windows;
  auto w = windows.Open(Form("fltk-text"), WindowRole::kMain);
  ASSERT_TRUE(w->IsOpen());
  EXPECT_EQ(w->GetText("label"), "start");
  EXPECT_EQ(w->GetSelected("list"), 0);

  // GBK (当前版本号：), FLTK's symbol mark, CR LF and a lone lead byte that
  // has no UTF-8 form: shown converted, read back unchanged.
  const Text written = "\xb5\xb1\xc7\xb0\xb0\xe6\xb1\xbe\xba\xc5\xa3\xba a@b\r\n@\x81";
  for (const char* control : {"label", "button", "box"}) {
    w->SetText(control, written);
    EXPECT_EQ(w->GetText(control), written) << control;
  }
  w->SetText("label", Text("cut\0here", 8));
  EXPECT_EQ(w->GetText("label"), "cut");

  w->SetSelected("list", 2);
  EXPECT_EQ(w->GetSelected("list"), 2);
  EXPECT_EQ(w->GetSelectedText("list"), "b&c");
  w->SetSelected("list", 3);
  EXPECT_EQ(w->GetSelected("list"), -1);
  w->SetChecked("box", true);
  EXPECT_TRUE(w->GetChecked("box"));

  w->SetText("nothing", "x");
  EXPECT_EQ(w->GetText("nothing"), "");
  EXPECT_EQ(w->GetSelected("nothing"), -1);
  windows.PumpEvents();  // paints every kind of control with that text
  w->Close();
  EXPECT_TRUE(windows.Ending());
}

TEST_F(FltkWindows, ClickTogglesTheCheckBoxBeforeItsHandlerRuns) {
  FltkWindowSystem windows;
  auto w = windows.Open(Form("fltk-click"), WindowRole::kMain);
  int clicks = 0;
  bool checkedInHandler = false;
  w->OnClick("box", [&] {
    checkedInHandler = w->GetChecked("box");
    w->Close();
  });
  w->OnClick("button", [&] { ++clicks; });
  Click("fltk-click", 20, 60);
  windows.RunUntilClosed(*w);
  EXPECT_TRUE(checkedInHandler);
  EXPECT_EQ(clicks, 0);
}

TEST_F(FltkWindows, AHandlerSuspendedInThePumpOutlivesItsWindow) {
  FltkWindowSystem windows;
  auto w = windows.Open(Form("fltk-suspend"), WindowRole::kMain);
  bool closedWhilePumping = false, endingInside = false, lateWindowOpen = true;
  w->OnClick("button", [&] {
    WmClose("fltk-suspend");
    for (int i = 0; i < 500 && w->IsOpen(); ++i) {
      windows.PumpEvents();
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    closedWhilePumping = !w->IsOpen();
    endingInside = windows.Ending();
    // The resumed handler writes to its closed window and tries to open one.
    w->SetText("label", "late");
    w->SetChecked("box", true);
    w->SetSelected("list", 1);
    lateWindowOpen = windows.Open(Form("fltk-late"), WindowRole::kModal)->IsOpen();
    windows.PumpEvents();
  });
  Click("fltk-suspend", 30, 20);
  windows.RunUntilClosed(*w);
  EXPECT_TRUE(closedWhilePumping);
  EXPECT_TRUE(endingInside);
  EXPECT_FALSE(lateWindowOpen);
  EXPECT_EQ(w->GetText("label"), "start");
  EXPECT_FALSE(w->GetChecked("box"));
  EXPECT_EQ(w->GetSelected("list"), 0);
}

TEST_F(FltkWindows, ClosingTheMainWindowUnwindsModalsAndMessageBoxes) {
  FltkWindowSystem windows;
  auto main = windows.Open(Form("fltk-main"), WindowRole::kMain);

  // A message box up when the main window closes returns.
  Fl::add_timeout(0.3, [](void* w) { static_cast<Window*>(w)->Close(); }, main.get());
  windows.MessageBox("up", "fltk-box");
  EXPECT_TRUE(windows.Ending());
  EXPECT_FALSE(main->IsOpen());

  // Once ending: no modal window runs and a message box does not wait.
  bool created = false;
  RunModal(windows, Form("fltk-modal"), [&](Window&) { created = true; });
  EXPECT_FALSE(created);
  windows.MessageBox("late", "fltk-box");
}

TEST_F(FltkWindows, ClosingTheMainWindowClosesAnOpenModal) {
  FltkWindowSystem windows;
  auto main = windows.Open(Form("fltk-owner"), WindowRole::kMain);
  bool modalOpenAfter = true;
  RunModal(windows, Form("fltk-modal"), [&](Window& modal) {
    main->Close();
    modalOpenAfter = modal.IsOpen();
  });
  EXPECT_FALSE(modalOpenAfter);
  EXPECT_TRUE(windows.Ending());
}

}  // namespace
}  // namespace corvenhal::platform::portable
