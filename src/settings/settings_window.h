// SettingsWindow: display mode, resolution, sound and quality preset for the
// game, four lines about the computer, and the SysSetting.xml file that the
// game reads, written on confirmation.
#pragma once

#include "platform/window.h"
#include "text/text.h"

namespace corvenhal::settings {

// The file the game reads, in the current directory (the program's own).
inline constexpr char kSettingsFileName[] = "SysSetting.xml";

// Control names of SettingsWindow (GBK).
struct SettingsControls {
  Text hostName;        // 信息标签1
  Text processor;       // 信息标签2
  Text memory;          // 信息标签3
  Text video;           // 信息标签4
  Text windowMode;      // 窗口模式
  Text fullScreen;      // 全屏模式
  Text recommended;     // 推荐配置
  Text lowest;          // 最低配置
  Text highest;         // 最高配置
  Text musicOn;         // 背景音乐开
  Text musicOff;        // 背景音乐关
  Text soundOn;         // 战斗音效开
  Text soundOff;        // 战斗音效关
  Text resolution;      // 分辨率
  Text antialiasing;    // 抗锯齿
  Text confirm;         // 确定按钮1
};
const SettingsControls& Controls();

const platform::WindowForm& SettingsWindowForm();

// The choices of the last confirmations in this run, kept across openings of
// the window; all empty at start. A confirmation leaves a value it does not
// set as it was.
struct SettingsRecord {
  Text width;
  Text height;
  Text fullScreen;
  Text music;
  Text sound;
  Text antialiasing;
  friend bool operator==(const SettingsRecord&, const SettingsRecord&) = default;
};
SettingsRecord& Record();
// Empties the record (at shutdown, and for a new run).
void ResetRecord();

// The file's bytes for a record: the declaration line ending in CR LF, then
// one element line with no line break after it.
Bytes SettingsFileBytes(const SettingsRecord& record);

// The creation work of an open SettingsWindow: fills the information labels
// and attaches the handlers.
void AttachSettingsWindow(platform::Window& window);

// Opens SettingsWindow modally; returns when it has closed.
void OpenSettingsWindow(platform::WindowSystem& windows);

}  // namespace corvenhal::settings
