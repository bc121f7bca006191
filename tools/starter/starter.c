/* Corvenhal.exe: the game starter that the launcher writes beside itself and
 * runs. It starts the game client, whose path relative to this program's own
 * directory is fixed by the build, in the client's own directory, and ends. */
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "starter_config.h"

#define PATH_UNITS 4096

static int LastSeparator(const wchar_t* s) {
  int last = -1;
  for (int i = 0; s[i]; ++i) {
    if (s[i] == L'\\' || s[i] == L'/') last = i;
  }
  return last;
}

static void ShowFailure(const wchar_t* client) {
  wchar_t text[PATH_UNITS + 64];
  lstrcpynW(text, L"\x65E0\x6CD5\x542F\x52A8\x6E38\x620F\x5BA2\x6237\x7AEF\xFF1A\r\n", 64); /* 无法启动游戏客户端： */
  int used = lstrlenW(text);
  lstrcpynW(text + used, client, PATH_UNITS);
  MessageBoxW(NULL, text, L"Corvenhal", MB_OK | MB_ICONERROR);
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, PWSTR commandLine, int show) {
  (void)instance;
  (void)previous;
  (void)commandLine;
  (void)show;

  wchar_t client[PATH_UNITS];
  DWORD n = GetModuleFileNameW(NULL, client, PATH_UNITS);
  if (n == 0 || n >= PATH_UNITS) return 1;
  int cut = LastSeparator(client);
  client[cut + 1] = 0;

  wchar_t relative[PATH_UNITS];
  if (!MultiByteToWideChar(CP_UTF8, 0, CORVENHAL_CLIENT_PATH, -1, relative, PATH_UNITS)) return 1;
  for (int i = 0; relative[i]; ++i) {
    if (relative[i] == L'/') relative[i] = L'\\';
  }
  int length = lstrlenW(client);
  if (length + lstrlenW(relative) >= PATH_UNITS) return 1;
  lstrcpyW(client + length, relative);

  /* The client runs in its own directory, with its path quoted as the whole
     command line. */
  wchar_t directory[PATH_UNITS];
  lstrcpyW(directory, client);
  directory[LastSeparator(directory)] = 0;
  wchar_t command[PATH_UNITS + 3];
  command[0] = L'"';
  lstrcpyW(command + 1, client);
  lstrcatW(command, L"\"");

  STARTUPINFOW startup;
  ZeroMemory(&startup, sizeof startup);
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION process;
  ZeroMemory(&process, sizeof process);
  if (!CreateProcessW(client, command, NULL, NULL, FALSE, 0, NULL, directory, &startup, &process)) {
    ShowFailure(client);
    return 1;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return 0;
}
