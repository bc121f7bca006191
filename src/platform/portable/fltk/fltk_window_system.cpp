#include "platform/portable/fltk/fltk_window_system.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_JPEG_Image.H>
#include <FL/Fl_Menu_Item.H>
#include <FL/Fl_Output.H>
#include <FL/Fl_PNG_Image.H>
#include <FL/Fl_Text_Buffer.H>
#include <FL/Fl_Text_Display.H>
#include <FL/Fl_Text_Editor.H>
#include <FL/fl_draw.H>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "platform/encodings.h"
#include "resources.h"

namespace corvenhal::platform::portable {

namespace {

// Every widget that shows program text uses this CJK font.
constexpr Fl_Font kCjkFont = FL_FREE_FONT;
constexpr const char* kCjkFontName = " WenQuanYi Zen Hei";  // leading space: regular style
constexpr int kDefaultFontSize = 14;

std::string ForDisplay(const Text& gbk) { return GbkToUtf8(text::AsText(gbk)); }

// CR LF and lone CR become LF, the line break FLTK draws.
std::string WithLineFeeds(std::string s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\r') {
      out += '\n';
      if (i + 1 < s.size() && s[i + 1] == '\n') ++i;
    } else {
      out += s[i];
    }
  }
  return out;
}

// FLTK reads "@" in a label as the start of a symbol ("@@" draws one "@"),
// and in menu items "&" as a shortcut mark ("&&" draws one "&"). Windows reads
// "&" in button captions the same way, but not in list items.
std::string AsLabel(const Text& gbk, bool literalAmpersand = false) {
  std::string utf8 = WithLineFeeds(ForDisplay(gbk));
  std::string out;
  out.reserve(utf8.size());
  for (char c : utf8) {
    if (c == '@' || (literalAmpersand && c == '&')) out += c;
    out += c;
  }
  return out;
}

Fl_Color ToFl(const Rgb& c) { return fl_rgb_color(c.r, c.g, c.b); }

int FontSize(const ControlForm& c) {
  if (c.fontHeight > 0) return c.fontHeight;
  // Short controls (a one-line label) get a font that fits them.
  return std::max(8, std::min(kDefaultFontSize, c.height - 2));
}

void Ignore(Fl_Widget*, void*) {}

// A widget without a box of its own: changing it must repaint what lies
// beneath, or the old text stays on the screen.
void RedrawArea(Fl_Widget& w) {
  if (w.box() != FL_NO_BOX) {
    w.redraw();
    return;
  }
  if (Fl_Window* window = w.window()) {
    window->damage(FL_DAMAGE_ALL, w.x(), w.y(), w.w(), w.h());
  } else {
    w.redraw();
  }
}

// A picture drawn at the control's top left corner, clipped to the control.
class PictureBox final : public Fl_Box {
 public:
  PictureBox(int x, int y, int w, int h, Fl_Image* picture) : Fl_Box(x, y, w, h), picture_(picture) {
    box(FL_NO_BOX);
  }

 protected:
  void draw() override {
    if (picture_) picture_->draw(x(), y(), w(), h());
  }

 private:
  Fl_Image* picture_;
};

// Label text from the control's own edge (Fl_Box keeps 3 pixels off a left
// or right edge), clipped to the control.
class TextBox final : public Fl_Box {
 public:
  TextBox(int x, int y, int w, int h) : Fl_Box(x, y, w, h) {}

 protected:
  void draw() override {
    draw_box();
    draw_label(x() + Fl::box_dx(box()), y() + Fl::box_dy(box()), w() - Fl::box_dw(box()), h() - Fl::box_dh(box()),
               align());
  }
};

// A button face drawn from a picture, the caption centred over it.
class PictureButton final : public Fl_Button {
 public:
  PictureButton(int x, int y, int w, int h) : Fl_Button(x, y, w, h) {}
  void Face(Fl_Image* face) { face_ = face; }

 protected:
  void draw() override {
    if (!face_) {
      Fl_Button::draw();
      return;
    }
    fl_push_clip(x(), y(), w(), h());
    face_->draw(x(), y(), w(), h());
    int shift = 0;
    if (value()) {
      // Pressed: a dark rim, the caption one pixel down and right.
      fl_color(FL_BLACK);
      fl_rect(x(), y(), w(), h());
      fl_rect(x() + 1, y() + 1, w() - 2, h() - 2);
      shift = 1;
    }
    draw_label(x() + shift, y() + shift, w(), h());
    fl_pop_clip();
  }

 private:
  Fl_Image* face_ = nullptr;
};

}  // namespace

// The FLTK objects of one open window. Declaration order matters: the window
// (and with it every widget) is destroyed before the buffers its text
// displays use.
struct FltkWidgets {
  std::vector<std::unique_ptr<Fl_Text_Buffer>> buffers;
  std::unique_ptr<Fl_Double_Window> window;
};

class FltkWindow final : public Window, public std::enable_shared_from_this<FltkWindow> {
 public:
  FltkWindow(FltkWindowSystem& system, const WindowForm& form, WindowRole role);
  ~FltkWindow() override { Close(); }

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

  WindowRole Role() const { return role_; }
  // Marks a window that the program is too late to show.
  void Refuse() {
    open_ = false;
    system_ = nullptr;
  }
  // Creates the window and its widgets (hidden).
  void Build();
  Fl_Double_Window* Native() const { return widgets_ ? widgets_->window.get() : nullptr; }

 private:
  struct Control {
    FltkWindow* owner = nullptr;
    const ControlForm* form = nullptr;
    Text text;
    bool checked = false;
    int selected = -1;
    std::function<void()> handler;
    Fl_Widget* widget = nullptr;
    Fl_Text_Buffer* buffer = nullptr;  // multi-line edit boxes
    bool writing = false;              // our own change to `buffer` in progress
    std::vector<std::string> itemLabels;
    std::vector<Fl_Menu_Item> menu;
  };

  Control* Find(const Text& name);
  const Control* Find(const Text& name) const;
  void BuildControl(Control& c);
  void ShowText(Control& c);
  void ShowSelection(Control& c);
  void Activated(Control& c);

  static void OnWidget(Fl_Widget*, void* data);
  static void OnWindowClose(Fl_Widget*, void* data);
  static void OnBufferModified(int, int, int, int, const char*, void* data);

  FltkWindowSystem* system_;
  WindowForm form_;
  WindowRole role_;
  bool open_ = true;
  std::vector<std::unique_ptr<Control>> controls_;
  std::unique_ptr<FltkWidgets> widgets_;
};

FltkWindow::FltkWindow(FltkWindowSystem& system, const WindowForm& form, WindowRole role)
    : system_(&system), form_(form), role_(role) {
  for (const ControlForm& f : form_.controls) {
    auto c = std::make_unique<Control>();
    c->owner = this;
    c->form = &f;
    c->text = text::AsText(f.caption);
    c->checked = f.checked;
    c->selected = (f.selected >= 0 && f.selected < static_cast<int>(f.items.size())) ? f.selected : -1;
    controls_.push_back(std::move(c));
  }
}

FltkWindow::Control* FltkWindow::Find(const Text& name) {
  for (auto& c : controls_) {
    if (c->form->name == name) return c.get();
  }
  return nullptr;
}

const FltkWindow::Control* FltkWindow::Find(const Text& name) const {
  return const_cast<FltkWindow*>(this)->Find(name);
}

void FltkWindow::Build() {
  widgets_ = std::make_unique<FltkWidgets>();
  Fl_Group::current(nullptr);  // a top-level window, not a child of another
  auto window = std::make_unique<Fl_Double_Window>(kWindowLeft, kWindowTop, form_.width, form_.height);
  window->copy_label(ForDisplay(form_.title).c_str());
  window->size_range(form_.width, form_.height, form_.width, form_.height);
  window->callback(OnWindowClose, this);
  window->begin();
  // Pictures lie beneath everything else (labels are drawn over them).
  for (auto& c : controls_) {
    if (c->form->kind == ControlKind::kPicture) BuildControl(*c);
  }
  for (auto& c : controls_) {
    if (c->form->kind != ControlKind::kPicture) BuildControl(*c);
  }
  window->end();
  window->resizable(nullptr);
  widgets_->window = std::move(window);
}

void FltkWindow::BuildControl(Control& c) {
  const ControlForm& f = *c.form;
  const int size = FontSize(f);
  Fl_Widget* w = nullptr;
  switch (f.kind) {
    case ControlKind::kPicture: {
      w = new PictureBox(f.left, f.top, f.width, f.height, system_->Picture(f.picture, f.width, f.height));
      break;
    }
    case ControlKind::kLabel: {
      auto* box = new TextBox(f.left, f.top, f.width, f.height);
      box->box(f.transparent ? FL_NO_BOX : FL_FLAT_BOX);
      box->align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE | FL_ALIGN_CLIP | FL_ALIGN_WRAP);
      box->labelfont(kCjkFont);
      box->labelsize(size);
      w = box;
      break;
    }
    case ControlKind::kEdit: {
      if (f.multiline) {
        auto buffer = std::make_unique<Fl_Text_Buffer>();
        Fl_Text_Display* display = f.readOnly ? new Fl_Text_Display(f.left, f.top, f.width, f.height)
                                              : new Fl_Text_Editor(f.left, f.top, f.width, f.height);
        display->buffer(buffer.get());
        display->wrap_mode(Fl_Text_Display::WRAP_AT_BOUNDS, 0);
        display->textfont(kCjkFont);
        display->textsize(size);
        display->box(f.sunkenBorder ? FL_THIN_DOWN_BOX : FL_FLAT_BOX);
        display->textcolor(f.hasTextColor ? ToFl(f.textColor) : FL_BLACK);
        display->color(f.hasBackColor ? ToFl(f.backColor) : FL_WHITE);
        if (!f.readOnly) buffer->add_modify_callback(OnBufferModified, &c);
        c.buffer = buffer.get();
        widgets_->buffers.push_back(std::move(buffer));
        w = display;
      } else {
        Fl_Input* input = f.readOnly ? new Fl_Output(f.left, f.top, f.width, f.height)
                                     : new Fl_Input(f.left, f.top, f.width, f.height);
        input->textfont(kCjkFont);
        input->textsize(size);
        input->box(f.sunkenBorder ? FL_THIN_DOWN_BOX : FL_FLAT_BOX);
        input->textcolor(f.hasTextColor ? ToFl(f.textColor) : FL_BLACK);
        input->color(f.hasBackColor ? ToFl(f.backColor) : FL_WHITE);
        input->when(FL_WHEN_CHANGED);
        input->callback(OnWidget, &c);
        w = input;
      }
      break;
    }
    case ControlKind::kButton: {
      auto* button = new PictureButton(f.left, f.top, f.width, f.height);
      if (Fl_Image* face = system_->Picture(f.picture, f.width, f.height)) {
        button->Face(face);
        button->box(FL_NO_BOX);
        button->clear_visible_focus();
      }
      button->labelfont(kCjkFont);
      button->labelsize(size);
      button->labelcolor(f.hasTextColor ? ToFl(f.textColor) : FL_BLACK);
      button->align(FL_ALIGN_CENTER | FL_ALIGN_CLIP);
      button->callback(OnWidget, &c);
      w = button;
      break;
    }
    case ControlKind::kCheckBox: {
      auto* check = new Fl_Check_Button(f.left, f.top, f.width, f.height);
      check->box(f.transparent ? FL_NO_BOX : FL_FLAT_BOX);
      check->labelfont(kCjkFont);
      check->labelsize(size);
      if (f.hasTextColor) check->labelcolor(ToFl(f.textColor));
      check->callback(OnWidget, &c);
      w = check;
      break;
    }
    case ControlKind::kComboBox: {
      auto* choice = new Fl_Choice(f.left, f.top, f.width, f.height);
      choice->textfont(kCjkFont);
      choice->textsize(size);
      choice->color(FL_WHITE);
      // Our own item array: Fl_Menu_::add() would read "/", "&" and "_" in
      // the items and merge items of equal text.
      for (const Text& item : f.items) c.itemLabels.push_back(AsLabel(item, true));
      c.menu.assign(c.itemLabels.size() + 1, Fl_Menu_Item{});
      for (size_t i = 0; i < c.itemLabels.size(); ++i) c.menu[i].text = c.itemLabels[i].c_str();
      choice->menu(c.menu.data());
      choice->callback(OnWidget, &c);
      w = choice;
      break;
    }
  }
  if (f.hasBackColor && f.kind != ControlKind::kEdit) w->color(ToFl(f.backColor));
  if (!f.enabled) w->deactivate();
  c.widget = w;
  ShowText(c);
  if (f.kind == ControlKind::kCheckBox) static_cast<Fl_Check_Button*>(w)->value(c.checked ? 1 : 0);
  if (f.kind == ControlKind::kComboBox) ShowSelection(c);
}

void FltkWindow::ShowText(Control& c) {
  if (!c.widget) return;
  switch (c.form->kind) {
    case ControlKind::kPicture:
    case ControlKind::kComboBox:
      return;
    case ControlKind::kEdit: {
      std::string shown = WithLineFeeds(ForDisplay(c.text));
      if (c.buffer) {
        c.writing = true;
        c.buffer->text(shown.c_str());
        c.writing = false;
        auto* display = static_cast<Fl_Text_Display*>(c.widget);
        display->insert_position(0);
        display->scroll(1, 0);
      } else {
        static_cast<Fl_Input*>(c.widget)->value(shown.c_str());
      }
      return;
    }
    case ControlKind::kLabel:
    case ControlKind::kButton:
    case ControlKind::kCheckBox:
      c.widget->copy_label(AsLabel(c.text).c_str());
      RedrawArea(*c.widget);
      return;
  }
}

void FltkWindow::ShowSelection(Control& c) {
  auto* choice = static_cast<Fl_Choice*>(c.widget);
  if (c.selected < 0) {
    choice->value(static_cast<const Fl_Menu_Item*>(nullptr));
  } else {
    choice->value(&c.menu[static_cast<size_t>(c.selected)]);
  }
  choice->redraw();
}

void FltkWindow::Close() {
  if (!open_) return;
  open_ = false;
  FltkWindowSystem* system = system_;
  system_ = nullptr;
  std::unique_ptr<FltkWidgets> widgets = std::move(widgets_);
  // Detach every widget from this object first: the widgets stay alive until
  // no handler runs, and this object may go before them.
  for (auto& c : controls_) {
    if (!c->widget) continue;
    c->widget->callback(Ignore);
    if (c->buffer && !c->form->readOnly) c->buffer->remove_modify_callback(OnBufferModified, c.get());
    if (c->form->kind == ControlKind::kComboBox) static_cast<Fl_Choice*>(c->widget)->menu(nullptr);
    c->widget = nullptr;
    c->buffer = nullptr;
  }
  if (widgets && widgets->window) {
    widgets->window->callback(Ignore);
    widgets->window->hide();
  }
  if (system) system->Closed(*this, std::move(widgets));
}

Text FltkWindow::GetText(const Text& control) const {
  const Control* c = Find(control);
  return c ? c->text : Text();
}

void FltkWindow::SetText(const Text& control, const Text& value) {
  Control* c = Find(control);
  if (!open_ || !c) return;
  c->text = text::AsText(value);
  ShowText(*c);
}

bool FltkWindow::GetChecked(const Text& control) const {
  const Control* c = Find(control);
  return c && c->checked;
}

void FltkWindow::SetChecked(const Text& control, bool checked) {
  Control* c = Find(control);
  if (!open_ || !c) return;
  c->checked = checked;
  if (c->form->kind == ControlKind::kCheckBox && c->widget) {
    static_cast<Fl_Check_Button*>(c->widget)->value(checked ? 1 : 0);
  }
}

int FltkWindow::GetSelected(const Text& control) const {
  const Control* c = Find(control);
  return c ? c->selected : -1;
}

void FltkWindow::SetSelected(const Text& control, int index) {
  Control* c = Find(control);
  if (!open_ || !c) return;
  c->selected = (index >= 0 && index < static_cast<int>(c->form->items.size())) ? index : -1;
  if (c->form->kind == ControlKind::kComboBox && c->widget) ShowSelection(*c);
}

void FltkWindow::OnClick(const Text& control, std::function<void()> handler) {
  if (Control* c = Find(control)) c->handler = std::move(handler);
}

void FltkWindow::Activated(Control& c) {
  if (!open_ || !c.widget) return;
  switch (c.form->kind) {
    case ControlKind::kCheckBox:
      c.checked = static_cast<Fl_Check_Button*>(c.widget)->value() != 0;
      break;
    case ControlKind::kComboBox:
      c.selected = static_cast<Fl_Choice*>(c.widget)->value();
      break;
    case ControlKind::kEdit:
      // A typed change keeps the stored text current; it is not a click.
      c.text = Utf8ToGbkText(static_cast<Fl_Input*>(c.widget)->value());
      return;
    default:
      break;
  }
  if (!c.handler) return;
  // The handler may close this window or drop the last reference to it, and
  // may pump events that run other handlers: keep both alive until it returns.
  std::shared_ptr<FltkWindow> self = shared_from_this();
  std::function<void()> handler = c.handler;
  FltkWindowSystem* system = system_;
  ++system->handlerDepth_;
  handler();
  --system->handlerDepth_;
}

void FltkWindow::OnWidget(Fl_Widget*, void* data) {
  auto* c = static_cast<Control*>(data);
  c->owner->Activated(*c);
}

void FltkWindow::OnWindowClose(Fl_Widget*, void* data) {
  // Escape does not close a form; the window manager's close does.
  if (Fl::event() == FL_SHORTCUT && Fl::event_key() == FL_Escape) return;
  auto* window = static_cast<FltkWindow*>(data);
  std::shared_ptr<FltkWindow> self = window->shared_from_this();
  window->Close();
}

void FltkWindow::OnBufferModified(int, int, int, int, const char*, void* data) {
  auto* c = static_cast<Control*>(data);
  if (c->writing || !c->buffer) return;
  char* typed = c->buffer->text();
  c->text = Utf8ToGbkText(typed);
  std::free(typed);
}

FltkWindowSystem::FltkWindowSystem() {
  Fl::set_font(kCjkFont, kCjkFontName);
  Fl::background(240, 240, 240);
  Fl_Window::default_xclass("corvenhal");
}

FltkWindowSystem::~FltkWindowSystem() {
  std::vector<std::shared_ptr<FltkWindow>> open;
  for (auto& w : open_) {
    if (auto window = w.lock()) open.push_back(window);
  }
  for (auto& window : open) window->Close();
  retired_.clear();
  pictures_.clear();
}

std::shared_ptr<Window> FltkWindowSystem::Open(const WindowForm& form, WindowRole role) {
  auto window = std::make_shared<FltkWindow>(*this, form, role);
  if (ending_) {
    window->Refuse();
    return window;
  }
  window->Build();
  open_.push_back(window);
  Fl_Double_Window* native = window->Native();
  if (role == WindowRole::kModal) native->set_modal();
  native->show();
  // Let it map and paint before the caller's creation work runs.
  Fl::check();
  return window;
}

void FltkWindowSystem::RunUntilClosed(Window& window) {
  while (window.IsOpen()) {
    Fl::wait();
    Reap();
  }
  Reap();
}

void FltkWindowSystem::PumpEvents() { Fl::check(); }

void FltkWindowSystem::MessageBox(const Text& text, const Text& caption) {
  if (ending_) return;
  fl_open_display();
  const std::string message = AsLabel(text);
  const int margin = 24, buttonW = 88, buttonH = 28, textSize = kDefaultFontSize;
  fl_font(kCjkFont, textSize);
  int textW = 0, textH = 0;
  fl_measure(message.c_str(), textW, textH);
  textW = std::max(textW, 1);
  textH = std::max(textH, textSize);
  const int width = std::max(textW + 2 * margin, buttonW + 2 * margin);
  const int height = margin + textH + margin + buttonH + 14;

  int sx = 0, sy = 0, sw = 0, sh = 0;
  Fl::screen_work_area(sx, sy, sw, sh, 0);
  Fl_Group::current(nullptr);
  Fl_Double_Window dialog(sx + std::max(0, (sw - width) / 2), sy + std::max(0, (sh - height) / 2), width, height);
  dialog.copy_label(ForDisplay(caption).c_str());
  dialog.size_range(width, height, width, height);
  bool dismissed = false;
  auto dismiss = [](Fl_Widget*, void* flag) { *static_cast<bool*>(flag) = true; };
  dialog.callback(dismiss, &dismissed);  // window manager's close and Escape
  Fl_Box body(margin, margin, textW, textH);
  body.box(FL_NO_BOX);
  body.align(FL_ALIGN_LEFT | FL_ALIGN_TOP | FL_ALIGN_INSIDE);
  body.labelfont(kCjkFont);
  body.labelsize(textSize);
  body.copy_label(message.c_str());
  Fl_Button ok((width - buttonW) / 2, height - buttonH - 14, buttonW, buttonH, "OK");
  ok.labelsize(textSize);
  ok.shortcut(FL_Enter);
  ok.callback(dismiss, &dismissed);
  dialog.end();
  dialog.set_modal();
  dialog.show();
  ok.take_focus();
  while (!dismissed && !ending_ && dialog.shown()) Fl::wait();
  dialog.hide();
}

Fl_Image* FltkWindowSystem::Picture(const std::string& name, int width, int height) {
  if (name.empty() || width <= 0 || height <= 0) return nullptr;
  auto load = [&](const std::string& key) -> Fl_Image* {
    auto found = pictures_.find(key);
    if (found != pictures_.end()) return found->second.get();
    std::string_view bytes = resources::Get(name);
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    std::unique_ptr<Fl_Image> image;
    if (bytes.size() > 3 && data[0] == 0xFF && data[1] == 0xD8) {
      image = std::make_unique<Fl_JPEG_Image>(name.c_str(), data);
    } else if (bytes.size() > 8 && std::memcmp(data, "\x89PNG", 4) == 0) {
      image = std::make_unique<Fl_PNG_Image>(name.c_str(), data, static_cast<int>(bytes.size()));
    }
    if (image && (image->fail() || image->w() <= 0 || image->h() <= 0)) image.reset();
    Fl_Image* result = image.get();
    pictures_[key] = std::move(image);
    return result;
  };
  Fl_Image* original = load(name);
  if (!original || (original->w() == width && original->h() == height)) return original;
  const std::string key = name + "@" + std::to_string(width) + "x" + std::to_string(height);
  auto found = pictures_.find(key);
  if (found != pictures_.end()) return found->second.get();
  Fl_Image* scaled = original->copy(width, height);
  pictures_[key].reset(scaled);
  return scaled;
}

void FltkWindowSystem::Closed(FltkWindow& window, std::unique_ptr<FltkWidgets> widgets) {
  if (widgets) retired_.push_back(std::move(widgets));
  std::erase_if(open_, [&](const std::weak_ptr<FltkWindow>& w) {
    auto locked = w.lock();
    return !locked || locked.get() == &window;
  });
  if (window.Role() != WindowRole::kMain) return;
  ending_ = true;
  std::vector<std::shared_ptr<FltkWindow>> others;
  for (auto& w : open_) {
    if (auto locked = w.lock()) others.push_back(locked);
  }
  for (auto& other : others) other->Close();
}

void FltkWindowSystem::Reap() {
  if (handlerDepth_ == 0) retired_.clear();
}

}  // namespace corvenhal::platform::portable
