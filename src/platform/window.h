// Windows as data. A form lists its controls (name, kind, place, size, caption
// or picture); handlers are attached by control name and read and write control
// properties by name. Backends: headless (driven by tests) and FLTK.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "text/text.h"

namespace corvenhal::platform {

enum class ControlKind { kPicture, kLabel, kEdit, kButton, kCheckBox, kComboBox };

struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

struct ControlForm {
  Text name;
  ControlKind kind = ControlKind::kLabel;
  int left = 0, top = 0, width = 0, height = 0;
  Text caption;              // GBK; the label, button, check box or edit text
  std::string picture;       // name of an embedded resource, empty for none
  std::vector<Text> items;   // drop-down list items
  int selected = -1;         // drop-down list selection, from 0
  bool checked = false;
  bool transparent = false;  // label drawn over what lies beneath it
  bool multiline = false;
  bool readOnly = false;
  bool verticalScroll = false;
  bool sunkenBorder = false;
  bool enabled = true;
  bool hasTextColor = false, hasBackColor = false;
  Rgb textColor, backColor;
  int fontHeight = 0;        // pixels, 0 for the default
  Text fontName;             // GBK, empty for the default

  // A control at its place with its caption and picture; the other settings
  // keep their defaults.
  static ControlForm Make(ControlKind kind, Text name, int left, int top, int width, int height,
                          Text caption = {}, std::string picture = {});
};

struct WindowForm {
  Text name;   // the form's name, e.g. "MainWindow"
  Text title;  // GBK
  int width = 0, height = 0;
  std::vector<ControlForm> controls;

  const ControlForm* Find(const Text& control) const;
};

// Every window opens at this screen position.
inline constexpr int kWindowLeft = 50;
inline constexpr int kWindowTop = 50;

// One open (or closed) window. Writing to a closed window's controls does
// nothing; reading gives the last values.
class Window {
 public:
  virtual ~Window() = default;
  virtual const WindowForm& Form() const = 0;
  virtual bool IsOpen() const = 0;
  virtual void Close() = 0;

  virtual Text GetText(const Text& control) const = 0;
  virtual void SetText(const Text& control, const Text& value) = 0;
  virtual bool GetChecked(const Text& control) const = 0;
  virtual void SetChecked(const Text& control, bool checked) = 0;
  virtual int GetSelected(const Text& control) const = 0;
  virtual void SetSelected(const Text& control, int index) = 0;
  // Text of the selected item of a drop-down list ("" when none).
  Text GetSelectedText(const Text& control) const;

  // Runs `handler` when the control is clicked (for a check box, after its
  // state has toggled; for a list, after the selection changed).
  virtual void OnClick(const Text& control, std::function<void()> handler) = 0;
};

enum class WindowRole { kMain, kModal };

class WindowSystem {
 public:
  virtual ~WindowSystem() = default;
  // Shows a window at 50, 50 with its form's title. After the main window has
  // closed this gives a window that is already closed and shows nothing.
  virtual std::shared_ptr<Window> Open(const WindowForm& form, WindowRole role) = 0;
  // Runs the event loop until `window` has closed.
  virtual void RunUntilClosed(Window& window) = 0;
  // Handles the events that are pending, then returns.
  virtual void PumpEvents() = 0;
  // A task-modal message box with one OK button; returns when dismissed.
  virtual void MessageBox(const Text& text, const Text& caption) = 0;
  // True once the main window has closed: a resumed handler then opens no
  // window and starts nothing.
  virtual bool Ending() const = 0;
};

// Opens a modal window, runs its creation work (`create`, which also attaches
// its handlers) after it is visible, and returns when it has closed. Does
// nothing once the program is ending.
void RunModal(WindowSystem& windows, const WindowForm& form, const std::function<void(Window&)>& create);

}  // namespace corvenhal::platform
