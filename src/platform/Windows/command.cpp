#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <vector>

#include "platform/command.h"
#include "platform/files.h"
#include "platform/input.h"
#include "platform/Windows/utf16.h"
#include "platform/words.h"

namespace platform {

namespace {

// cmd.exe's own "pause" reads a key from standard input even when that
// is a pipe or a file: it would eat a byte of the answers that follow,
// or, since velder reads ahead, of whatever lies beyond its buffer. So
// without a console the pause only shows its prompt and reads nothing,
// as on POSIX.
int Pause_Without_Console() {
  std::cout << "请按任意键继续……\n";
  std::cout.flush();
  return 0;
}

bool Starts_With(const std::string& t, const char* head) {
  return t.compare(0, std::char_traits<char>::length(head), head) == 0;
}

// The compile line is "cmd /c" and then, between one more pair of quotes,
// a quoted compiler, the options as stored, "-g -o" and two quoted paths.
// The paths hold no double quote, so the last four quotes of the line are
// theirs and the first two the compiler's. cmd.exe counts the options'
// quotes its own way (every one, except one right after a caret outside
// quotes); when it counts an odd number, it reads the two paths outside
// quotes, where "&", "|", "<" and ">" in a name would start commands or
// redirect, "^" would vanish, and parentheses can mean a block. And with
// delayed expansion on, a "!" among the options makes it drop every "^"
// of the line, the paths' own too. A "%" among them may bring in either
// (cmd.exe replaces %NAME% first), so it counts as both. Such a line is
// not run: a name must never act, nor reach the compiler changed.
bool Safe_Compile_Line(const std::string& text, std::string& why) {
  std::vector<std::size_t> q;
  for (std::size_t i = 0; i < text.size(); ++i)
    if (text[i] == '"') q.push_back(i);
  if (q.size() < 6) return true;  // not the compile line: no paths of ours in it
  std::size_t options = q[1] + 1, paths = q[q.size() - 4];
  bool in_quotes = false;
  for (std::size_t i = options; i < paths; ++i) {
    if (text[i] == '^' && !in_quotes)
      ++i;
    else if (text[i] == '"')
      in_quotes = !in_quotes;
  }
  bool percent = false, bang = false;
  for (std::size_t i = options; i < paths; ++i) {
    Cmd_Change c = Cmd_Change_Of(text[i]);
    percent = percent || c == Cmd_Change::variable;
    bang = bang || c == Cmd_Change::variable || c == Cmd_Change::delayed;
  }
  if ((in_quotes || percent) && text.find_first_of("&|<>^()", paths) != std::string::npos) {
    why = "编译选项里的双引号按 cmd.exe 的读法不成对（或含有“%”），路径中的特殊字符可能落到引号之外";
    return false;
  }
  bool caret = text.find('^', q[0]) < q[1] || text.find('^', paths) != std::string::npos;
  if (bang && caret) {
    why = "编译选项含有“!”或“%”而路径含有“^”，cmd.exe 开启延迟扩展时会删去路径里的“^”";
    return false;
  }
  return true;
}

// While the compiler runs, Ctrl+C and Ctrl+Break are for it (it shares
// the console and gets them too), not for the one waiting for it. A
// handler, unlike ignoring them outright, is not inherited. The console
// hands the event to each of its processes in a thread of its own, in no
// set order, so one meant for the compiler can reach velder just after
// the compiler has ended: it is ignored for a second after that too.
std::atomic<bool> compiling{false};
std::atomic<ULONGLONG> compile_ended{0};

BOOL WINAPI Leave_Break_To_Child(DWORD type) {
  if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT) return FALSE;
  return compiling || GetTickCount64() - compile_ended < 1000;
}

void Inherit(DWORD which) {
  HANDLE h = GetStdHandle(which);
  if (h != nullptr && h != INVALID_HANDLE_VALUE)
    SetHandleInformation(h, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
}

// The line as the command line of one cmd.exe, the one in the system
// directory, started directly: _wsystem would put a second cmd.exe in
// front, for which the paths of the line stand outside quotes.
int Run_Cmd(std::wstring line) {
  std::wstring dir(MAX_PATH, L'\0');
  UINT n = GetSystemDirectoryW(&dir[0], MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return 1;
  dir.resize(n);
  std::wstring app = dir + L"\\cmd.exe";
  Inherit(STD_INPUT_HANDLE);
  Inherit(STD_OUTPUT_HANDLE);
  Inherit(STD_ERROR_HANDLE);
  STARTUPINFOW si = {};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  si.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION pi = {};
  // In place before the start: a Ctrl+C the moment the compiler starts
  // is the compiler's too.
  static bool handler = SetConsoleCtrlHandler(Leave_Break_To_Child, TRUE) != 0;
  (void)handler;
  compiling = true;
  if (!CreateProcessW(app.c_str(), &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si,
                      &pi)) {
    compiling = false;
    std::cerr << "velder: cmd.exe: 无法启动（错误 " << GetLastError() << "）\n";
    return 1;
  }
  CloseHandle(pi.hThread);
  WaitForSingleObject(pi.hProcess, INFINITE);
  compile_ended = GetTickCount64();
  compiling = false;
  DWORD status = 1;
  GetExitCodeProcess(pi.hProcess, &status);
  CloseHandle(pi.hProcess);
  return static_cast<int>(status);
}

// cmd.exe's "start" may find no program at a path past the old limit of
// 260 characters, and a pauser that is not long path aware cannot start
// one handed to it. So on a "start" line such a path goes in its short
// (8.3) form where the volume keeps one; the first quoted word is the
// window's title and stays as it is. (The paths hold no double quote.)
std::string Short_Start_Paths(std::string t) {
  std::size_t open = t.find('"');
  if (open == std::string::npos) return t;
  open = t.find('"', t.find('"', open + 1) + 1);  // past the title
  while (open != std::string::npos) {
    std::size_t close = t.find('"', open + 1);
    if (close == std::string::npos) break;
    std::string word = t.substr(open + 1, close - open - 1);
    std::filesystem::path p;
    std::wstring full;
    if (word.size() >= MAX_PATH - 12 && Native_Path(word, p)) full = p.wstring();
    if (full.compare(0, 4, L"\\\\?\\") != 0) full.clear();  // short enough as it is
    DWORD n = full.empty() ? 0 : GetShortPathNameW(full.c_str(), nullptr, 0);
    std::wstring brief(n, L'\0');
    if (n > 0) n = GetShortPathNameW(full.c_str(), &brief[0], n);
    if (n > 0 && n < brief.size()) {
      brief.resize(n);
      if (brief.compare(0, 8, L"\\\\?\\UNC\\") == 0)
        brief = L"\\\\" + brief.substr(8);
      else if (brief.compare(0, 4, L"\\\\?\\") == 0)
        brief.erase(0, 4);
      if (brief.size() < MAX_PATH) {
        std::string s = To_Utf8(brief);
        t.replace(open + 1, word.size(), s);
        close = open + 1 + s.size();
      }
    }
    open = t.find('"', close + 1);
  }
  return t;
}

}  // namespace

int system(std::string t) {
  std::cout.flush();
  std::fflush(stdout);
  if (t == "pause" && !Stdin_Is_Terminal()) return Pause_Without_Console();
  // The narrow system() would read the line in the ANSI code page and
  // garble every non-ASCII path; cmd.exe gets the UTF-16 form instead.
  std::wstring w;
  if (!To_Wide(t, w)) return 1;
  if (Starts_With(t, "start ") && !To_Wide(Short_Start_Paths(t), w)) return 1;
  if (!Starts_With(t, "cmd /c")) return _wsystem(w.c_str());
  std::string why;
  if (!Safe_Compile_Line(Strip_Outer_Quotes(t.substr(6)), why)) {
    std::cerr << "velder: " << why << "，没有编译。\n";
    return 1;
  }
  return Run_Cmd(w);
}

}  // namespace platform
