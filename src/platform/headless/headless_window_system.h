// A window system without a screen, driven by tests: they queue clicks and
// closes, run the program, and read what its windows show.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "platform/window.h"

namespace corvenhal::platform::headless {

class HeadlessWindowSystem;

class HeadlessWindow final : public Window {
 public:
  HeadlessWindow(HeadlessWindowSystem& system, WindowForm form, WindowRole role);

  const WindowForm& Form() const override { return form_; }
  bool IsOpen() const override { return open_; }
  void Close() override;

  Text GetText(const Text& control) const override;
  void SetText(const Text& control, const Text& value) override;
  bool GetChecked(const Text& control) const override;
  void SetChecked(const Text& control, bool checked) override;
  int GetSelected(const Text& control) const override;
  void SetSelected(const Text& control, int index) override;
  void OnClick(const Text& control, std::function<void()> handler) override;

  // What a player does: a click toggles a check box before its handler runs; a
  // choice in a list selects the item before its handler runs. Nothing happens
  // on a closed window or an unknown control.
  void Click(const Text& control);
  void Choose(const Text& control, int index);

  WindowRole Role() const { return role_; }
  int Left() const { return left_; }
  int Top() const { return top_; }
  // Every text written to a control, in order (to see labels a walk passed through).
  const std::vector<Text>& TextHistory(const Text& control) const;

 private:
  friend class HeadlessWindowSystem;
  struct State {
    Text text;
    bool checked = false;
    int selected = -1;
    std::vector<Text> history;
    std::function<void()> handler;
  };
  State* Find(const Text& control);
  const State* Find(const Text& control) const;

  HeadlessWindowSystem& system_;
  WindowForm form_;
  WindowRole role_;
  bool open_ = true;
  int left_ = kWindowLeft, top_ = kWindowTop;
  std::map<Text, State> controls_;
};

class HeadlessWindowSystem final : public WindowSystem {
 public:
  std::shared_ptr<Window> Open(const WindowForm& form, WindowRole role) override;
  // Runs queued events until the window closes. When the queue runs dry the
  // player is taken to have closed every window.
  void RunUntilClosed(Window& window) override;
  // Runs the events that were queued when it was called.
  void PumpEvents() override;
  void MessageBox(const Text& text, const Text& caption) override;
  bool Ending() const override { return mainClosed_; }

  // Queues an action of the player's, run by the next event loop or pump.
  void Post(std::function<void()> action);
  void PostClick(const Text& windowName, const Text& control);
  void PostChoose(const Text& windowName, const Text& control, int index);
  void PostClose(const Text& windowName);

  // The most recently opened window of that form name that is still open, else
  // the most recent one of that name; null when none was ever opened.
  HeadlessWindow* FindWindow(const Text& name) const;
  // Every window that was shown, in order of opening.
  const std::vector<std::shared_ptr<HeadlessWindow>>& Opened() const { return opened_; }

  struct Message {
    Text text;
    Text caption;
  };
  const std::vector<Message>& Messages() const { return messages_; }
  // Called while a message box is up (before it is dismissed).
  void OnMessageBox(std::function<void(const Message&)> callback) { onMessage_ = std::move(callback); }
  int PumpCount() const { return pumps_; }
  // Open() calls refused because the program was ending.
  int RefusedOpens() const { return refused_; }

 private:
  friend class HeadlessWindow;
  void Closed(HeadlessWindow& window);
  bool RunOne();

  std::deque<std::function<void()>> queue_;
  std::vector<std::shared_ptr<HeadlessWindow>> opened_;
  std::vector<Message> messages_;
  std::function<void(const Message&)> onMessage_;
  bool mainClosed_ = false;
  int pumps_ = 0;
  int refused_ = 0;
};

}  // namespace corvenhal::platform::headless
