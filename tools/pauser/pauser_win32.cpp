#include <windows.h>

#include <shellapi.h>

#include <cstdio>

#include "pauser.h"
#include "platform/utf16_win32.h"

namespace {

std::string Reason(DWORD err) {
  if (err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND) return "找不到该程序。";
  if (err == ERROR_ACCESS_DENIED) return "没有执行权限，或它不是文件。";
  if (err == ERROR_BAD_EXE_FORMAT) return "它不是可执行的程序。";
  return "系统错误，代码 " + std::to_string(err) + "。";
}

// One argument as the C runtime of the started program will read it back:
// quoted when it holds a blank or a quote or is empty; a quote inside is
// escaped, and so are the backslashes right before a quote or the end.
std::wstring Quote_Argument(const std::wstring& a) {
  if (!a.empty() && a.find_first_of(L" \t\n\v\"") == std::wstring::npos) return a;
  std::wstring r = L"\"";
  std::size_t backslashes = 0;
  for (wchar_t c : a) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    r.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    r += c;
  }
  r.append(backslashes * 2, L'\\');
  return r + L"\"";
}

// The program name is read by CreateProcess up to the closing quote, no
// escapes; a Windows file name holds no quote.
std::wstring Command_Line(wchar_t** w, int n) {
  std::wstring line = L"\"" + std::wstring(w[1]) + L"\"";
  for (int i = 2; i < n; ++i) line += L" " + Quote_Argument(w[i]);
  return line;
}

// Ctrl+C and Ctrl+Break stop the program, not the pauser. A handler, not
// the ignore flag, because the flag would be inherited by the program.
BOOL WINAPI Stay(DWORD event) { return event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT; }

std::string Code_In_Hex(DWORD code) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%08lX", static_cast<unsigned long>(code));
  return hex;
}

}  // namespace

Ending Run_Program(int, char**) {
  Ending e;
  // The narrow arguments are in the ANSI code page; the wide ones hold
  // every name as typed.
  int n = 0;
  wchar_t** w = CommandLineToArgvW(GetCommandLineW(), &n);
  if (w == nullptr || n < 2) {
    e.why = Reason(GetLastError());
    return e;
  }
  e.name = platform::To_Utf8(w[1]);
  std::wstring line = Command_Line(w, n);
  LocalFree(w);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  SetConsoleCtrlHandler(Stay, TRUE);
  if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    e.why = Reason(GetLastError());
    SetConsoleCtrlHandler(Stay, FALSE);
    return e;
  }
  e.started = true;
  CloseHandle(pi.hThread);
  WaitForSingleObject(pi.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hProcess);
  SetConsoleCtrlHandler(Stay, FALSE);
  e.code = code;
  e.status = static_cast<int>(code);
  // Crashes end with an NTSTATUS such as 0xC0000005, better read in hex.
  if (code >= 0x80000000UL) e.why = Code_In_Hex(code);
  return e;
}
