#include "app/main_window.h"

#include "app/attachments.h"
#include "app/commands.h"
#include "app/gbk.h"
#include "build_config.h"

namespace corvenhal::app {

using platform::ControlForm;
using platform::ControlKind;
using platform::WindowForm;

const MainControls& Main() {
  static const MainControls names{
      Gbk("背景图片"), Gbk("版本显示"), Gbk("公告栏"),   Gbk("进入游戏"), Gbk("检查更新"),
      Gbk("快捷方式"), Gbk("官方网站"), Gbk("帐号注册"), Gbk("友情赞助"), Gbk("用户中心"),
      Gbk("找回密码"), Gbk("游戏攻略"), Gbk("游戏设置"),
  };
  return names;
}

namespace {

ControlForm LargeButton(const Text& name, int left, int top, const Text& caption) {
  return ControlForm::Make(ControlKind::kButton, name, left, top, 180, 62, caption, "button_large.png");
}

WindowForm BuildMainWindowForm() {
  const MainControls& n = Main();
  WindowForm form;
  form.name = "MainWindow";
  form.title = "Corvenhal ";
  form.width = 640;
  form.height = 628;

  form.controls.push_back(
      ControlForm::Make(ControlKind::kPicture, n.background, 0, 0, 640, 600, {}, "main_background.jpg"));
  ControlForm version = ControlForm::Make(ControlKind::kLabel, n.versionLabel, 456, 88, 144, 16);
  version.transparent = true;
  form.controls.push_back(version);

  ControlForm board = ControlForm::Make(ControlKind::kEdit, n.announcement, 22, 112, 590, 256);
  board.multiline = true;
  board.readOnly = true;
  board.verticalScroll = true;
  board.sunkenBorder = true;
  board.hasTextColor = board.hasBackColor = true;
  board.textColor = {255, 255, 0};
  board.backColor = {38, 38, 38};
  board.fontName = Gbk("新宋体");
  board.fontHeight = 16;
  form.controls.push_back(board);

  form.controls.push_back(LargeButton(n.enterGame, 23, 382, Gbk("进入游戏(Start)")));
  form.controls.push_back(LargeButton(n.checkUpdates, 227, 382, n.checkUpdates));
  form.controls.push_back(LargeButton(n.shortcut, 431, 382, n.shortcut));
  form.controls.push_back(LargeButton(n.officialSite, 23, 452, n.officialSite));
  form.controls.push_back(LargeButton(n.register_, 227, 452, n.register_));
  form.controls.push_back(LargeButton(n.sponsor, 431, 452, n.sponsor));
  form.controls.push_back(LargeButton(n.userCentre, 23, 522, n.userCentre));
  form.controls.push_back(LargeButton(n.lostPassword, 227, 522, n.lostPassword));
  form.controls.push_back(LargeButton(n.guide, 431, 522, n.guide));
  form.controls.push_back(
      ControlForm::Make(ControlKind::kButton, n.settings, 543, 24, 65, 23, {}, "button_settings.png"));
  return form;
}

}  // namespace

const WindowForm& MainWindowForm() {
  static const WindowForm form = BuildMainWindowForm();
  return form;
}

Text VersionCaption(const Bytes& version) { return Gbk("当前版本号：") + text::AsText(version); }

void AttachMainWindowHandlers(platform::Window& window) {
  const MainControls& n = Main();
  platform::Window* main = &window;
  window.OnClick(n.enterGame, [main] { EnterGame(*main); });
  window.OnClick(n.checkUpdates, [] { OpenVerifyWindow(); });
  window.OnClick(n.settings, [] { OpenSettingsWindow(); });
  window.OnClick(n.shortcut, [] { CreateDesktopShortcut(); });
  window.OnClick(n.sponsor, [] { OpenSponsorPage(); });
  window.OnClick(n.officialSite, [] { OpenLink(WebLink(WebPage::kOfficialSite)); });
  window.OnClick(n.userCentre, [] { OpenLink(WebLink(WebPage::kUserCentre)); });
  window.OnClick(n.register_, [] { OpenLink(WebLink(WebPage::kRegister)); });
  window.OnClick(n.lostPassword, [] { OpenLink(WebLink(WebPage::kLostPassword)); });
  window.OnClick(n.guide, [] { OpenLink(WebLink(WebPage::kGuide)); });
}

}  // namespace corvenhal::app
