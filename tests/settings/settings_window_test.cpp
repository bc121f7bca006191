#include "settings/settings_window.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/encodings.h"
#include "platform/headless/headless_window_system.h"
#include "platform/portable/portable.h"
#include "support/temp_dir.h"

namespace corvenhal::settings {
namespace {

namespace fs = std::filesystem;
using platform::ControlKind;
using platform::headless::HeadlessWindow;
using platform::headless::HeadlessWindowSystem;

Text Gbk(std::string_view utf8) { return platform::Utf8ToGbkText(utf8); }

// A computer whose facts the test chooses.
class FixedMachine final : public platform::MachineInfo {
 public:
  Text hostName = "TESTHOST";
  Bytes brand = Bytes("Test CPU @ 1.00GHz") + Bytes(30, '\0');
  std::uint64_t memory = 4ull << 30;
  Text HostName() override { return hostName; }
  Bytes ProcessorBrand() override { return brand; }
  std::uint64_t PhysicalMemory() override { return memory; }
};

// A run of the program in a fresh game directory (the current directory),
// with the headless window system and a fresh settings record.
class SettingsWindowTest : public ::testing::Test {
 protected:
  SettingsWindowTest() : saved_(fs::current_path()) {
    fs::current_path(dir_.path());
    ResetRecord();
  }
  ~SettingsWindowTest() override {
    ResetRecord();
    fs::current_path(saved_);
  }

  // An open SettingsWindow after its creation work.
  HeadlessWindow& Open() {
    std::shared_ptr<platform::Window> w = windows_.Open(SettingsWindowForm(), platform::WindowRole::kModal);
    kept_.push_back(w);
    AttachSettingsWindow(*w);
    return static_cast<HeadlessWindow&>(*w);
  }

  std::string File() const { return dir_.Read(kSettingsFileName); }

  const SettingsControls& n = Controls();
  testing::TempDir dir_;
  fs::path saved_;
  HeadlessWindowSystem windows_;
  FixedMachine machine_;
  platform::Services services_ = [this] {
    platform::Services s = platform::portable::DefaultServices();
    s.windows = &windows_;
    s.machine = &machine_;
    return s;
  }();
  platform::ScopedServices scope_{services_};
  std::vector<std::shared_ptr<platform::Window>> kept_;
};

struct ControlDesign {
  const char* name;
  ControlKind kind;
  int left, top, width, height;
  bool checked;
  int selected;
};

TEST_F(SettingsWindowTest, FormHasEveryControlInItsDesignState) {
  const platform::WindowForm& form = SettingsWindowForm();
  EXPECT_EQ(form.name, "SettingsWindow");
  EXPECT_EQ(form.width, 340);
  EXPECT_EQ(form.height, 254);

  const ControlDesign designs[] = {
      {"信息标签1", ControlKind::kLabel, 80, 28, 242, 16, false, -1},
      {"信息标签2", ControlKind::kLabel, 66, 48, 250, 16, false, -1},
      {"信息标签3", ControlKind::kLabel, 66, 68, 126, 16, false, -1},
      {"信息标签4", ControlKind::kLabel, 66, 88, 250, 16, false, -1},
      {"窗口模式", ControlKind::kCheckBox, 72, 139, 14, 14, true, -1},
      {"全屏模式", ControlKind::kCheckBox, 181, 139, 14, 14, false, -1},
      {"推荐配置", ControlKind::kCheckBox, 305, 147, 14, 14, false, -1},
      {"最低配置", ControlKind::kCheckBox, 305, 168, 14, 14, false, -1},
      {"最高配置", ControlKind::kCheckBox, 305, 189, 14, 14, true, -1},
      {"背景音乐开", ControlKind::kCheckBox, 94, 203, 14, 14, true, -1},
      {"背景音乐关", ControlKind::kCheckBox, 129, 203, 14, 14, false, -1},
      {"战斗音效开", ControlKind::kCheckBox, 94, 226, 14, 14, true, -1},
      {"战斗音效关", ControlKind::kCheckBox, 129, 226, 14, 14, false, -1},
      {"分辨率", ControlKind::kComboBox, 62, 158, 130, 17, false, 0},
      {"抗锯齿", ControlKind::kComboBox, 62, 180, 80, 17, false, 3},
      {"确定按钮1", ControlKind::kButton, 242, 217, 65, 23, false, -1},
  };
  for (const ControlDesign& s : designs) {
    SCOPED_TRACE(s.name);
    const platform::ControlForm* c = form.Find(Gbk(s.name));
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->kind, s.kind);
    EXPECT_EQ((std::vector<int>{c->left, c->top, c->width, c->height}),
              (std::vector<int>{s.left, s.top, s.width, s.height}));
    EXPECT_EQ(c->checked, s.checked);
    EXPECT_EQ(c->selected, s.selected);
    if (s.kind == ControlKind::kLabel) {
      EXPECT_TRUE(c->transparent);
      EXPECT_EQ(c->caption, "");
    }
  }

  std::vector<Text> resolutions;
  for (const char* item : {"1024*768", "1154*864", "1280*800", "1280*960", "1680*1050(宽屏)", "1920*1200(宽屏)",
                           "1920*1440", "2560*1440(2K)", "3200*1800(3K)", "3840*2160(4K)", "4096*2160(4K)", ""}) {
    resolutions.push_back(Gbk(item));
  }
  EXPECT_EQ(form.Find(n.resolution)->items, resolutions);
  EXPECT_EQ(form.Find(n.antialiasing)->items, (std::vector<Text>{"X0", "X2", "X4", "X8"}));

  // The confirm button's picture is carried by the build: a 65 x 23 PNG.
  const platform::ControlForm* confirm = form.Find(n.confirm);
  std::string png = testing::ReadFile(fs::path(CORVENHAL_SOURCE_DIR) / "resources/pictures" / confirm->picture);
  ASSERT_GE(png.size(), 24u);
  EXPECT_EQ(png.substr(1, 3), "PNG");
  EXPECT_EQ(png.substr(16, 8), std::string("\0\0\0\x41\0\0\0\x17", 8));
}

TEST_F(SettingsWindowTest, CreationShowsTheComputersInformation) {
  HeadlessWindow& w = Open();
  EXPECT_EQ(w.GetText(n.hostName), "TESTHOST");
  EXPECT_EQ(w.GetText(n.processor), "Test CPU @ 1.00GHz");
  EXPECT_EQ(w.GetText(n.memory), "4096 MB");
  // The opening starts from the design states.
  EXPECT_TRUE(w.GetChecked(n.windowMode));
  EXPECT_TRUE(w.GetChecked(n.highest));
  EXPECT_EQ(w.GetSelected(n.resolution), 0);
  EXPECT_EQ(w.GetSelected(n.antialiasing), 3);
}

// Each row: the clicked box, the rest of its group, and the anti-aliasing item
// it selects (-1: none). Every click, whatever the box's own new state,
// unchecks the rest of the group.
struct GroupRow {
  const char* clicked;
  std::vector<const char*> others;
  int antialiasing;
};

TEST_F(SettingsWindowTest, CheckBoxClicksKeepEachGroupExclusive) {
  const std::vector<GroupRow> rows = {
      {"窗口模式", {"全屏模式"}, -1},
      {"全屏模式", {"窗口模式"}, -1},
      {"背景音乐开", {"背景音乐关"}, -1},
      {"背景音乐关", {"背景音乐开"}, -1},
      {"战斗音效开", {"战斗音效关"}, -1},
      {"战斗音效关", {"战斗音效开"}, -1},
      {"推荐配置", {"最低配置", "最高配置"}, 2},
      {"最低配置", {"推荐配置", "最高配置"}, 1},
      {"最高配置", {"推荐配置", "最低配置"}, 3},
  };
  const char* boxes[] = {"窗口模式", "全屏模式", "推荐配置", "最低配置", "最高配置",
                         "背景音乐开", "背景音乐关", "战斗音效开", "战斗音效关"};
  for (const GroupRow& row : rows) {
    for (bool wasChecked : {false, true}) {
      SCOPED_TRACE(std::string(row.clicked) + (wasChecked ? " (checked)" : " (unchecked)"));
      HeadlessWindow& w = Open();
      for (const char* box : boxes) w.SetChecked(Gbk(box), true);
      w.SetChecked(Gbk(row.clicked), wasChecked);
      w.SetSelected(n.antialiasing, 0);

      w.Click(Gbk(row.clicked));

      EXPECT_EQ(w.GetChecked(Gbk(row.clicked)), !wasChecked);
      for (const char* box : boxes) {
        if (std::string(box) == row.clicked) continue;
        bool inGroup = std::find_if(row.others.begin(), row.others.end(),
                                    [&](const char* o) { return std::string(o) == box; }) != row.others.end();
        EXPECT_EQ(w.GetChecked(Gbk(box)), !inGroup) << box;
      }
      EXPECT_EQ(w.GetSelected(n.antialiasing), row.antialiasing < 0 ? 0 : row.antialiasing);
      EXPECT_EQ(w.GetSelected(n.resolution), 0);
      w.Close();
    }
  }
}

TEST_F(SettingsWindowTest, UntouchedDesignWritesTheseBytes) {
  HeadlessWindow& w = Open();
  w.Click(n.confirm);
  EXPECT_FALSE(w.IsOpen());
  EXPECT_EQ(File(),
            "<?xml version=\"1.0\" encoding=\"GB2312\" ?>\r\n"
            "<Res ScreenWidth=\"1024\" ScreenHeight=\"768\" FullScreen=\"0\" Music=\"1\" Sound=\"1\" "
            "ThreeDimension=\"0\" Friend=\"0\" Group=\"0\" Business=\"1\" FloodLight=\"0\" Antialiasing=\"3\" "
            "MusicVolume=\"100\" SoundVolume=\"100\" ThreeDimensionValue=\"0\" />");
  EXPECT_EQ(Record(), (SettingsRecord{"1024", "768", "0", "1", "1", "3"}));
}

// One action of the player's on the window.
struct Action {
  const char* control;
  int choose = -1;  // for a list: the item chosen; -1: a click
};

struct ConfirmCase {
  const char* what;
  std::vector<Action> actions;
  SettingsRecord written;
};

TEST_F(SettingsWindowTest, FirstConfirmationWritesWhatTheWindowShows) {
  const std::vector<ConfirmCase> cases = {
      {"untouched", {}, {"1024", "768", "0", "1", "1", "3"}},
      {"checked preset clicked: no preset", {{"最高配置"}}, {"1024", "768", "0", "1", "1", ""}},
      {"empty resolution item", {{"分辨率", 11}}, {"", "", "0", "1", "1", "3"}},
      {"both display boxes unchecked", {{"窗口模式"}}, {"1024", "768", "1", "1", "1", "3"}},
      {"full screen", {{"全屏模式"}}, {"1024", "768", "1", "1", "1", "3"}},
      {"music off", {{"背景音乐关"}}, {"1024", "768", "0", "0", "1", "3"}},
      {"both music boxes unchecked", {{"背景音乐开"}}, {"1024", "768", "0", "0", "1", "3"}},
      {"both sound boxes unchecked", {{"战斗音效开"}}, {"1024", "768", "0", "1", "0", "3"}},
      {"sound off", {{"战斗音效关"}}, {"1024", "768", "0", "1", "0", "3"}},
      {"1154*864", {{"分辨率", 1}}, {"1154", "864", "0", "1", "1", "3"}},
      {"4096*2160(4K)", {{"分辨率", 10}}, {"4096", "2160", "0", "1", "1", "3"}},
      {"recommended", {{"推荐配置"}}, {"1024", "768", "0", "1", "1", "2"}},
      {"lowest", {{"最低配置"}}, {"1024", "768", "0", "1", "1", "1"}},
      {"X0 chosen by hand", {{"抗锯齿", 0}}, {"1024", "768", "0", "1", "1", "3"}},
      {"lowest, then X8 by hand", {{"最低配置"}, {"抗锯齿", 3}}, {"1024", "768", "0", "1", "1", "1"}},
  };
  for (const ConfirmCase& c : cases) {
    SCOPED_TRACE(c.what);
    ResetRecord();
    HeadlessWindow& w = Open();
    for (const Action& a : c.actions) {
      if (a.choose < 0) {
        w.Click(Gbk(a.control));
      } else {
        w.Choose(Gbk(a.control), a.choose);
      }
    }
    w.Click(n.confirm);
    EXPECT_FALSE(w.IsOpen());
    EXPECT_EQ(Record(), c.written);
    EXPECT_EQ(File(), SettingsFileBytes(c.written));
  }
}

TEST_F(SettingsWindowTest, UnsetValuesCarryOverFromTheLastConfirmationInTheRun) {
  HeadlessWindow& first = Open();
  first.Choose(n.resolution, 3);  // 1280*960
  first.Click(n.recommended);
  first.Click(n.fullScreen);
  first.Click(n.confirm);
  ASSERT_EQ(Record(), (SettingsRecord{"1280", "960", "1", "1", "1", "2"}));

  // The next opening starts from the design states again, but what it leaves
  // unset is taken from the record.
  HeadlessWindow& second = Open();
  EXPECT_TRUE(second.GetChecked(n.windowMode));
  EXPECT_FALSE(second.GetChecked(n.recommended));
  second.Click(n.highest);  // no preset checked
  second.Choose(n.resolution, 11);
  second.Click(n.confirm);
  EXPECT_EQ(File(), SettingsFileBytes({"1280", "960", "0", "1", "1", "2"}));

  // A new run starts empty.
  ResetRecord();
  HeadlessWindow& third = Open();
  third.Click(n.highest);
  third.Choose(n.resolution, 11);
  third.Click(n.confirm);
  EXPECT_EQ(File(), SettingsFileBytes({"", "", "0", "1", "1", ""}));
}

TEST_F(SettingsWindowTest, ModalWindowWritesOnConfirmationOnly) {
  const std::string old = "<old settings/>";
  dir_.Write(kSettingsFileName, old);

  // Choices made, then the window closed without confirming.
  windows_.PostClick("SettingsWindow", n.fullScreen);
  windows_.PostChoose("SettingsWindow", n.resolution, 5);
  windows_.PostClose("SettingsWindow");
  OpenSettingsWindow(windows_);
  EXPECT_FALSE(windows_.FindWindow("SettingsWindow")->IsOpen());
  EXPECT_EQ(File(), old);
  EXPECT_EQ(Record(), SettingsRecord());
  EXPECT_EQ(std::vector<fs::path>(fs::directory_iterator(dir_.path()), {}),
            std::vector<fs::path>{dir_.path() / kSettingsFileName});

  // Confirmed in a second opening: the file is replaced whole.
  windows_.PostChoose("SettingsWindow", n.resolution, 5);
  windows_.PostClick("SettingsWindow", n.confirm);
  OpenSettingsWindow(windows_);
  EXPECT_EQ(windows_.Opened().size(), 2u);
  EXPECT_EQ(File(), SettingsFileBytes({"1920", "1200", "0", "1", "1", "3"}));
}

TEST_F(SettingsWindowTest, ClosingWithoutConfirmingCreatesNoFile) {
  HeadlessWindow& w = Open();
  w.Click(n.lowest);
  w.Close();
  EXPECT_FALSE(fs::exists(dir_.path() / kSettingsFileName));
}

}  // namespace
}  // namespace corvenhal::settings
