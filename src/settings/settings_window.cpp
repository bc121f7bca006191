#include "settings/settings_window.h"

#include <array>
#include <vector>

#include "platform/encodings.h"
#include "platform/services.h"
#include "settings/computer_info.h"

namespace corvenhal::settings {

using platform::ControlForm;
using platform::ControlKind;
using platform::Window;
using platform::WindowForm;

namespace {

Text Gbk(std::string_view utf8) { return platform::Utf8ToGbkText(utf8); }

struct Resolution {
  const char* item;  // UTF-8
  const char* width;
  const char* height;
};

// The items of 分辨率 and the size each stands for. The second one has always
// written 1154 and the game expects it.
constexpr std::array<Resolution, 11> kResolutions{{
    {"1024*768", "1024", "768"},
    {"1154*864", "1154", "864"},
    {"1280*800", "1280", "800"},
    {"1280*960", "1280", "960"},
    {"1680*1050(宽屏)", "1680", "1050"},
    {"1920*1200(宽屏)", "1920", "1200"},
    {"1920*1440", "1920", "1440"},
    {"2560*1440(2K)", "2560", "1440"},
    {"3200*1800(3K)", "3200", "1800"},
    {"3840*2160(4K)", "3840", "2160"},
    {"4096*2160(4K)", "4096", "2160"},
}};

constexpr int kAntialiasX2 = 1;
constexpr int kAntialiasX4 = 2;
constexpr int kAntialiasX8 = 3;

ControlForm Label(const Text& name, int left, int top, int width) {
  ControlForm c = ControlForm::Make(ControlKind::kLabel, name, left, top, width, 16);
  c.transparent = true;
  return c;
}

ControlForm CheckBox(const Text& name, int left, int top, bool checked) {
  ControlForm c = ControlForm::Make(ControlKind::kCheckBox, name, left, top, 14, 14);
  c.checked = checked;
  c.transparent = true;
  return c;
}

ControlForm List(const Text& name, int left, int top, int width, std::vector<Text> items, int selected) {
  ControlForm c = ControlForm::Make(ControlKind::kComboBox, name, left, top, width, 17);
  c.items = std::move(items);
  c.selected = selected;
  return c;
}

WindowForm BuildSettingsWindowForm() {
  const SettingsControls& n = Controls();
  WindowForm form;
  form.name = "SettingsWindow";
  form.title = Gbk("游戏设置");
  form.width = 340;
  form.height = 254;

  // The captions beside the boxes and lists are part of the picture.
  form.controls.push_back(
      ControlForm::Make(ControlKind::kPicture, Gbk("背景图片"), 0, 0, 340, 254, {}, "settings_background.png"));

  form.controls.push_back(Label(n.hostName, 80, 28, 242));
  form.controls.push_back(Label(n.processor, 66, 48, 250));
  form.controls.push_back(Label(n.memory, 66, 68, 126));
  form.controls.push_back(Label(n.video, 66, 88, 250));
  form.controls.push_back(CheckBox(n.windowMode, 72, 139, true));
  form.controls.push_back(CheckBox(n.fullScreen, 181, 139, false));
  form.controls.push_back(CheckBox(n.recommended, 305, 147, false));
  form.controls.push_back(CheckBox(n.lowest, 305, 168, false));
  form.controls.push_back(CheckBox(n.highest, 305, 189, true));
  form.controls.push_back(CheckBox(n.musicOn, 94, 203, true));
  form.controls.push_back(CheckBox(n.musicOff, 129, 203, false));
  form.controls.push_back(CheckBox(n.soundOn, 94, 226, true));
  form.controls.push_back(CheckBox(n.soundOff, 129, 226, false));

  std::vector<Text> resolutions;
  for (const Resolution& r : kResolutions) resolutions.push_back(Gbk(r.item));
  resolutions.push_back(Text());  // the empty twelfth item
  form.controls.push_back(List(n.resolution, 62, 158, 130, std::move(resolutions), 0));
  form.controls.push_back(List(n.antialiasing, 62, 180, 80, {"X0", "X2", "X4", "X8"}, kAntialiasX8));

  form.controls.push_back(
      ControlForm::Make(ControlKind::kButton, n.confirm, 242, 217, 65, 23, {}, "button_confirm.png"));
  return form;
}

// A check box and the boxes its click unchecks; a preset also selects an
// anti-aliasing item for show.
struct ExclusiveGroup {
  Text clicked;
  std::vector<Text> unchecked;
  int antialiasing = -1;
};

std::vector<ExclusiveGroup> Groups() {
  const SettingsControls& n = Controls();
  return {
      {n.windowMode, {n.fullScreen}},
      {n.fullScreen, {n.windowMode}},
      {n.musicOn, {n.musicOff}},
      {n.musicOff, {n.musicOn}},
      {n.soundOn, {n.soundOff}},
      {n.soundOff, {n.soundOn}},
      {n.recommended, {n.lowest, n.highest}, kAntialiasX4},
      {n.lowest, {n.recommended, n.highest}, kAntialiasX2},
      {n.highest, {n.recommended, n.lowest}, kAntialiasX8},
  };
}

// The others of the group are unchecked whatever the clicked box's new state,
// so clicking a checked box leaves the whole group unchecked.
void KeepExclusive(Window& window, const ExclusiveGroup& group) {
  for (const Text& other : group.unchecked) window.SetChecked(other, false);
  if (group.antialiasing >= 0) window.SetSelected(Controls().antialiasing, group.antialiasing);
}

void Confirm(Window& window) {
  const SettingsControls& n = Controls();
  SettingsRecord& record = Record();
  record.fullScreen = window.GetChecked(n.windowMode) ? "0" : "1";
  record.music = window.GetChecked(n.musicOn) ? "1" : "0";
  record.sound = window.GetChecked(n.soundOn) ? "1" : "0";
  // The anti-aliasing list only shows the preset; the file takes the preset.
  if (window.GetChecked(n.recommended)) {
    record.antialiasing = "2";
  } else if (window.GetChecked(n.highest)) {
    record.antialiasing = "3";
  } else if (window.GetChecked(n.lowest)) {
    record.antialiasing = "1";
  }
  int index = window.GetSelected(n.resolution);
  if (index >= 0 && index < static_cast<int>(kResolutions.size())) {
    record.width = kResolutions[static_cast<size_t>(index)].width;
    record.height = kResolutions[static_cast<size_t>(index)].height;
  }
  // Replaced whole or not at all, so the game never reads a half-written file;
  // a failure is not reported and the window closes all the same.
  if (platform::FileSystem* files = platform::Current().files) files->WriteAll(kSettingsFileName, SettingsFileBytes(record));
  window.Close();
}

void FillInformation(Window& window) {
  const SettingsControls& n = Controls();
  if (platform::MachineInfo* machine = platform::Current().machine) {
    window.SetText(n.hostName, HostNameLine(*machine));
    window.SetText(n.processor, ProcessorLine(*machine));
    window.SetText(n.memory, MemoryLine(*machine));
  }
  QueryVideoControllers([&window, &n](const Text& name) { window.SetText(n.video, name); });
}

}  // namespace

const SettingsControls& Controls() {
  static const SettingsControls names{
      Gbk("信息标签1"), Gbk("信息标签2"), Gbk("信息标签3"),  Gbk("信息标签4"),  Gbk("窗口模式"),  Gbk("全屏模式"),
      Gbk("推荐配置"),  Gbk("最低配置"),  Gbk("最高配置"),   Gbk("背景音乐开"), Gbk("背景音乐关"), Gbk("战斗音效开"),
      Gbk("战斗音效关"), Gbk("分辨率"),   Gbk("抗锯齿"),     Gbk("确定按钮1"),
  };
  return names;
}

const WindowForm& SettingsWindowForm() {
  static const WindowForm form = BuildSettingsWindowForm();
  return form;
}

SettingsRecord& Record() {
  static SettingsRecord record;
  return record;
}

void ResetRecord() { Record() = SettingsRecord(); }

Bytes SettingsFileBytes(const SettingsRecord& r) {
  Bytes out = "<?xml version=\"1.0\" encoding=\"GB2312\" ?>\r\n";
  out += "<Res ScreenWidth=\"";
  out += r.width;
  out += "\" ScreenHeight=\"";
  out += r.height;
  out += "\" FullScreen=\"";
  out += r.fullScreen;
  out += "\" Music=\"";
  out += r.music;
  out += "\" Sound=\"";
  out += r.sound;
  out += "\" ThreeDimension=\"0\" Friend=\"0\" Group=\"0\" Business=\"1\" FloodLight=\"0\" Antialiasing=\"";
  out += r.antialiasing;
  out += "\" MusicVolume=\"100\" SoundVolume=\"100\" ThreeDimensionValue=\"0\" />";
  return out;
}

void AttachSettingsWindow(Window& window) {
  Window* w = &window;
  // Handlers first: the video-controller query pumps events, and a click that
  // arrives meanwhile must find them.
  for (ExclusiveGroup& group : Groups()) {
    window.OnClick(group.clicked, [w, group] { KeepExclusive(*w, group); });
  }
  window.OnClick(Controls().confirm, [w] { Confirm(*w); });
  FillInformation(window);
}

void OpenSettingsWindow(platform::WindowSystem& windows) {
  platform::RunModal(windows, SettingsWindowForm(), AttachSettingsWindow);
}

}  // namespace corvenhal::settings
