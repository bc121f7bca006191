#include "updater/verify_window.h"

#include <memory>

#include "http/winhttp_fetch.h"
#include "platform/encodings.h"
#include "platform/services.h"
#include "script/json_object.h"
#include "updater/download.h"
#include "updater/file_md5.h"
#include "updater/manifest_paths.h"

namespace corvenhal::updater {
namespace {

using platform::ControlForm;
using platform::ControlKind;
using platform::WindowForm;

Text Gbk(std::string_view utf8) { return platform::Utf8ToGbkText(utf8); }

struct Texts {
  Text verifyStart = Gbk("效验客户端");
  Text verifyStatus = Gbk("请点击“检查更新”");
  Text updateTitle = Gbk("发现新版本");
  Text updateStatus = Gbk("正在自动更新，请稍后...");
  Text verified = Gbk("客户端文件验证完成！");
  Text updated = Gbk("客户端更新完成！请关闭窗口。");
  Text progressPrefix = Gbk("效验文件：");
  Text partlyFailed = Gbk("部分文件更新失败，请重新检查更新！");
  Text noManifest = Gbk("获取更新列表失败，请检查网络后重试！");
};
const Texts& T() {
  static const Texts texts;
  return texts;
}

WindowForm BuildForm(const char* name, const Text& title, const Text& progress, const Text& status) {
  const VerifyControls& n = Verify();
  WindowForm form;
  form.name = name;
  form.title = title;
  form.width = 380;
  form.height = 440;
  form.controls.push_back(ControlForm::Make(ControlKind::kPicture, n.picture, 87, 0, 200, 200, {}, "verify_emblem.png"));
  form.controls.push_back(ControlForm::Make(ControlKind::kLabel, n.progress, 56, 216, 280, 40, progress));
  form.controls.push_back(ControlForm::Make(ControlKind::kLabel, n.status, 47, 258, 280, 40, status));
  for (size_t i = 1; i <= 2; ++i) form.controls[i].transparent = true;
  form.controls.push_back(ControlForm::Make(ControlKind::kButton, n.button, 53, 310, 268, 82, {}, "button_check.png"));
  return form;
}

Text FetchText(const UpdateContext& context, const char* resource) {
  return text::AsText(http::WinHttpFetch(context.origin + resource));
}

Text Member(script::JsonObject& json, long long k, const char* member) {
  return json.GetText("news[" + text::NumberToText(k) + "]." + member, false);
}

// The record as it was when the walk began, to put back after a failed one.
struct RecordSnapshot {
  bool existed = false;
  bool readable = false;
  Bytes bytes;
};

RecordSnapshot TakeSnapshot(platform::FileSystem& files, const Text& record) {
  RecordSnapshot s;
  s.existed = files.Exists(record);
  s.readable = s.existed && files.ReadAll(record, s.bytes);
  return s;
}

void PutBack(platform::FileSystem& files, const Text& record, const RecordSnapshot& s) {
  if (!s.existed) {
    files.Remove(record);
    return;
  }
  Bytes now;
  if (s.readable && files.ReadAll(record, now) && now == s.bytes) return;
  // A record that could not be read gives an empty one: it never matches a
  // published version, so the next start goes through the update again.
  files.WriteAll(record, s.readable ? s.bytes : Bytes());
}

}  // namespace

const VerifyControls& Verify() {
  static const VerifyControls names{Gbk("图片框1"), Gbk("效验文件"), Gbk("验证完成"), Gbk("检查按钮")};
  return names;
}

const WindowForm& VerifyWindowForm() {
  static const WindowForm form = BuildForm("VerifyWindow", Text(), T().verifyStart, T().verifyStatus);
  return form;
}

const WindowForm& UpdateWindowForm() {
  static const WindowForm form = BuildForm("UpdateWindow", T().updateTitle, T().updateTitle, T().updateStatus);
  return form;
}

WindowState& StateOf(WalkWindow which) {
  static WindowState verify, update;
  return which == WalkWindow::kVerify ? verify : update;
}

void ReleaseWindowStates() {
  for (WalkWindow w : {WalkWindow::kVerify, WalkWindow::kUpdate}) StateOf(w) = WindowState();
}

bool VerifyClientFiles(platform::Window& window, WalkWindow which, const UpdateContext& context) {
  platform::FileSystem& files = *platform::Current().files;
  const VerifyControls& c = Verify();
  WindowState& state = StateOf(which);
  // Another walk may run inside this one while events are pumped; everything
  // the loop depends on is local, and the window state is only read, except
  // that a manifest fetched again here replaces one that could not be read.
  const Text base = state.baseDirectory;

  script::JsonObject json;
  bool parsed = json.Parse(state.manifest, false);
  if (!parsed) {
    Text again = FetchText(context, "/update/Updata.ini");
    parsed = json.Parse(again, false);
    if (parsed) StateOf(which).manifest = again;
  }
  if (!parsed) {
    window.SetText(c.progress, "0/0");
    window.SetText(c.status, T().noManifest);
    return false;
  }

  const long long n = json.Count("news");
  const Text count = text::NumberToText(n);
  window.SetText(c.progress, "0/" + count);
  const RecordSnapshot record = TakeSnapshot(files, context.recordFile);
  bool anyFailed = false;

  for (long long i = 1; i <= n; ++i) {
    const long long k = i - 1;
    const Text file = Member(json, k, "file");
    const Text rel = text::ReplaceAll(file, "/", "\\");
    const Text local = base + rel;
    // Entries that could reach outside the run directory are skipped whole.
    if (!IsHostileEntryPath(file) && files.IsInside(local, context.runDirectory)) {
      bool download = true;
      if (files.Exists(local)) {
        download = FileMd5(local) != Member(json, k, "md5");
      } else {
        for (const Text& directory : DirectoriesFor(base, rel)) files.CreateDirectory(directory);
      }
      if (download) {
        if (DownloadToFile(Member(json, k, "url"), local, kReplaceExisting)) {
          if (which == WalkWindow::kVerify) {
            window.SetText(c.status, T().verified);
          } else {
            window.SetText(c.status, T().updated);
          }
          if (context.recordVersion) context.recordVersion(FetchText(context, "/update/Vers.txt"));
        } else {
          anyFailed = true;
        }
      }
    }
    window.SetText(c.progress, T().progressPrefix + text::NumberToText(i) + "/" + count);
  }

  if (anyFailed) {
    // The record must not claim a version the client does not fully have.
    PutBack(files, context.recordFile, record);
    window.SetText(c.status, T().partlyFailed);
  } else if (which == WalkWindow::kVerify) {
    window.SetText(c.status, T().verified);
  }
  return !anyFailed;
}

bool RunVerifyWindow(WalkWindow which, const UpdateContext& context,
                     const std::function<void(platform::Window&)>& opened) {
  platform::WindowSystem* windows = platform::Current().windows;
  if (!windows) return false;
  auto allSucceeded = std::make_shared<bool>(true);
  platform::RunModal(*windows, which == WalkWindow::kVerify ? VerifyWindowForm() : UpdateWindowForm(),
                     [which, context, allSucceeded, &opened](platform::Window& window) {
                       WindowState& state = StateOf(which);
                       state.baseDirectory = context.runDirectory + "/Resource";
                       state.manifest = FetchText(context, "/update/Updata.ini");
                       platform::Window* w = &window;
                       window.OnClick(Verify().button, [w, which, context, allSucceeded] {
                         *allSucceeded = VerifyClientFiles(*w, which, context) && *allSucceeded;
                       });
                       if (which == WalkWindow::kUpdate) {
                         *allSucceeded = VerifyClientFiles(window, which, context) && *allSucceeded;
                       }
                       if (opened) opened(window);
                     });
  return *allSucceeded;
}

}  // namespace corvenhal::updater
