#include "platform/window.h"

namespace corvenhal::platform {

ControlForm ControlForm::Make(ControlKind kind, Text name, int left, int top, int width, int height, Text caption,
                              std::string picture) {
  ControlForm c;
  c.kind = kind;
  c.name = std::move(name);
  c.left = left;
  c.top = top;
  c.width = width;
  c.height = height;
  c.caption = std::move(caption);
  c.picture = std::move(picture);
  return c;
}

const ControlForm* WindowForm::Find(const Text& control) const {
  for (const auto& c : controls) {
    if (c.name == control) return &c;
  }
  return nullptr;
}

Text Window::GetSelectedText(const Text& control) const {
  const ControlForm* c = Form().Find(control);
  int index = GetSelected(control);
  if (!c || index < 0 || index >= static_cast<int>(c->items.size())) return Text();
  return c->items[static_cast<size_t>(index)];
}

void RunModal(WindowSystem& windows, const WindowForm& form, const std::function<void(Window&)>& create) {
  if (windows.Ending()) return;
  std::shared_ptr<Window> window = windows.Open(form, WindowRole::kModal);
  if (!window->IsOpen()) return;
  if (create) create(*window);
  windows.RunUntilClosed(*window);
}

}  // namespace corvenhal::platform
