#include "platform/headless/headless_window_system.h"

namespace corvenhal::platform::headless {

HeadlessWindow::HeadlessWindow(HeadlessWindowSystem& system, WindowForm form, WindowRole role)
    : system_(system), form_(std::move(form)), role_(role) {
  for (const auto& c : form_.controls) {
    State& s = controls_[c.name];
    s.text = c.caption;
    s.checked = c.checked;
    s.selected = c.selected;
  }
}

HeadlessWindow::State* HeadlessWindow::Find(const Text& control) {
  auto it = controls_.find(control);
  return it == controls_.end() ? nullptr : &it->second;
}

const HeadlessWindow::State* HeadlessWindow::Find(const Text& control) const {
  auto it = controls_.find(control);
  return it == controls_.end() ? nullptr : &it->second;
}

void HeadlessWindow::Close() {
  if (!open_) return;
  open_ = false;
  system_.Closed(*this);
}

Text HeadlessWindow::GetText(const Text& control) const {
  const State* s = Find(control);
  return s ? s->text : Text();
}

void HeadlessWindow::SetText(const Text& control, const Text& value) {
  State* s = Find(control);
  if (!open_ || !s) return;
  s->text = text::AsText(value);
  s->history.push_back(s->text);
}

bool HeadlessWindow::GetChecked(const Text& control) const {
  const State* s = Find(control);
  return s && s->checked;
}

void HeadlessWindow::SetChecked(const Text& control, bool checked) {
  State* s = Find(control);
  if (open_ && s) s->checked = checked;
}

int HeadlessWindow::GetSelected(const Text& control) const {
  const State* s = Find(control);
  return s ? s->selected : -1;
}

void HeadlessWindow::SetSelected(const Text& control, int index) {
  State* s = Find(control);
  const ControlForm* c = form_.Find(control);
  if (!open_ || !s || !c) return;
  s->selected = (index >= 0 && index < static_cast<int>(c->items.size())) ? index : -1;
}

void HeadlessWindow::OnClick(const Text& control, std::function<void()> handler) {
  if (State* s = Find(control)) s->handler = std::move(handler);
}

void HeadlessWindow::Click(const Text& control) {
  State* s = Find(control);
  const ControlForm* c = form_.Find(control);
  if (!open_ || !s || !c || !c->enabled) return;
  if (c->kind == ControlKind::kCheckBox) s->checked = !s->checked;
  if (s->handler) {
    // The handler may close this window and even destroy its owner's state;
    // keep a copy alive while it runs.
    std::function<void()> handler = s->handler;
    handler();
  }
}

void HeadlessWindow::Choose(const Text& control, int index) {
  State* s = Find(control);
  if (!open_ || !s) return;
  SetSelected(control, index);
  if (s->handler) {
    std::function<void()> handler = s->handler;
    handler();
  }
}

const std::vector<Text>& HeadlessWindow::TextHistory(const Text& control) const {
  static const std::vector<Text> kNone;
  const State* s = Find(control);
  return s ? s->history : kNone;
}

std::shared_ptr<Window> HeadlessWindowSystem::Open(const WindowForm& form, WindowRole role) {
  auto window = std::make_shared<HeadlessWindow>(*this, form, role);
  if (mainClosed_) {
    ++refused_;
    window->open_ = false;
    return window;
  }
  opened_.push_back(window);
  return window;
}

void HeadlessWindowSystem::Closed(HeadlessWindow& window) {
  if (window.Role() != WindowRole::kMain) return;
  mainClosed_ = true;
  // Closing the main window takes its modal windows with it, so that every
  // nested loop unwinds.
  for (auto& w : opened_) {
    if (w->open_) {
      w->open_ = false;
    }
  }
}

bool HeadlessWindowSystem::RunOne() {
  if (queue_.empty()) return false;
  std::function<void()> action = std::move(queue_.front());
  queue_.pop_front();
  action();
  return true;
}

void HeadlessWindowSystem::RunUntilClosed(Window& window) {
  while (window.IsOpen()) {
    if (!RunOne()) {
      for (auto it = opened_.rbegin(); it != opened_.rend(); ++it) (*it)->Close();
    }
  }
}

void HeadlessWindowSystem::PumpEvents() {
  ++pumps_;
  for (size_t n = queue_.size(); n > 0 && RunOne(); --n) {
  }
}

void HeadlessWindowSystem::MessageBox(const Text& text, const Text& caption) {
  messages_.push_back({text::AsText(text), text::AsText(caption)});
  if (onMessage_) onMessage_(messages_.back());
}

void HeadlessWindowSystem::Post(std::function<void()> action) { queue_.push_back(std::move(action)); }

void HeadlessWindowSystem::PostClick(const Text& windowName, const Text& control) {
  Post([this, windowName, control] {
    if (HeadlessWindow* w = FindWindow(windowName)) w->Click(control);
  });
}

void HeadlessWindowSystem::PostChoose(const Text& windowName, const Text& control, int index) {
  Post([this, windowName, control, index] {
    if (HeadlessWindow* w = FindWindow(windowName)) w->Choose(control, index);
  });
}

void HeadlessWindowSystem::PostClose(const Text& windowName) {
  Post([this, windowName] {
    if (HeadlessWindow* w = FindWindow(windowName)) w->Close();
  });
}

HeadlessWindow* HeadlessWindowSystem::FindWindow(const Text& name) const {
  HeadlessWindow* fallback = nullptr;
  for (auto it = opened_.rbegin(); it != opened_.rend(); ++it) {
    if ((*it)->Form().name != name) continue;
    if ((*it)->IsOpen()) return it->get();
    if (!fallback) fallback = it->get();
  }
  return fallback;
}

}  // namespace corvenhal::platform::headless
