// The real window system on FLTK 1.3: forms become top-level windows whose
// controls sit at the form's places and sizes. Control text is kept as the
// program's GBK text and converted to UTF-8 only for display.
//
// Closing: a window may close while one of its handlers is suspended in
// PumpEvents. Its FLTK widgets are then hidden and detached at once, but only
// deleted when no handler is running any more, so no FLTK frame on the stack
// refers to a deleted widget. Closing the main window closes every other window
// and dismisses a message box, so nested loops unwind.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/window.h"

class Fl_Image;

namespace corvenhal::platform::portable {

class FltkWindow;
struct FltkWidgets;

class FltkWindowSystem final : public WindowSystem {
 public:
  FltkWindowSystem();
  ~FltkWindowSystem() override;
  FltkWindowSystem(const FltkWindowSystem&) = delete;
  FltkWindowSystem& operator=(const FltkWindowSystem&) = delete;

  std::shared_ptr<Window> Open(const WindowForm& form, WindowRole role) override;
  void RunUntilClosed(Window& window) override;
  void PumpEvents() override;
  void MessageBox(const Text& text, const Text& caption) override;
  bool Ending() const override { return ending_; }

 private:
  friend class FltkWindow;

  // The embedded picture `name`, scaled to width x height when its own size
  // differs; null when there is no such picture or it does not decode.
  Fl_Image* Picture(const std::string& name, int width, int height);
  void Closed(FltkWindow& window, std::unique_ptr<FltkWidgets> widgets);
  // Deletes the widgets of closed windows once no handler is running.
  void Reap();

  bool ending_ = false;
  int handlerDepth_ = 0;
  std::vector<std::weak_ptr<FltkWindow>> open_;
  std::vector<std::unique_ptr<FltkWidgets>> retired_;
  std::map<std::string, std::unique_ptr<Fl_Image>> pictures_;
};

}  // namespace corvenhal::platform::portable
