// The requests carried out on Windows: each rendered once into the
// command line the program has always handed to cmd.exe, and cmd.exe run
// with it through the one process seam. What cmd.exe would change in the
// options or the paths is checked on them, before any line exists.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <iostream>

#include "platform/cmd_lines.h"
#include "platform/files.h"
#include "platform/input.h"
#include "platform/requests.h"
#include "platform/Windows/cmd.h"
#include "platform/Windows/utf16.h"
#include "platform/words.h"

namespace platform {

namespace {

// "cmd /c " and a line, as the C runtime's system() hands it over.
int Run_Command(std::string t) {
  std::cout.flush();
  std::fflush(stdout);
  return Exit_Status(Run_Cmd_Line(Process_Spec(), "cmd /c " + t));
}

// Whether cmd.exe, reading the compile line, would take the quoted
// options for what they say. It counts the options' quotes its own way
// (every one, except one right after a caret outside quotes); when it
// counts an odd number, it reads the two paths outside quotes, where "&",
// "|", "<" and ">" in a name would start commands or redirect, "^" would
// vanish, and parentheses can mean a block. And with delayed expansion
// on, a "!" among the options makes it drop every "^" of the line, the
// paths' own too. A "%" among them may bring in either (cmd.exe replaces
// %NAME% first), so it counts as both. Such a compile is not run: a name
// must never act, nor reach the compiler changed. Empty when it is safe,
// else why not.
std::string Unsafe_Compile(const Compile_Request& r) {
  bool in_quotes = false, percent = false, bang = false;
  const std::string& o = r.com_settings;
  for (std::size_t i = 0; i < o.size(); ++i) {
    if (o[i] == '^' && !in_quotes)
      ++i;
    else if (o[i] == '"')
      in_quotes = !in_quotes;
  }
  for (char c : o) {
    Cmd_Change k = Cmd_Change_Of(c);
    percent = percent || k == Cmd_Change::variable;
    bang = bang || k == Cmd_Change::variable || k == Cmd_Change::delayed;
  }
  std::string paths = r.epath + r.fpath;
  if ((in_quotes || percent) && paths.find_first_of("&|<>^()") != std::string::npos)
    return "编译选项里的双引号按 cmd.exe 的读法不成对（或含有“%”），路径中的特殊字符可能落到引号之外";
  if (bang && (r.com_path + paths).find('^') != std::string::npos)
    return "编译选项含有“!”或“%”而路径含有“^”，cmd.exe 开启延迟扩展时会删去路径里的“^”";
  return std::string();
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

// cmd.exe's "start" may find no program at a path past the old limit of
// 260 characters, and a pauser that is not long path aware cannot start
// one handed to it. So such a path goes in its short (8.3) form where the
// volume keeps one.
std::string Short_Start_Path(std::string path) {
  std::filesystem::path p;
  std::wstring full;
  if (path.size() >= MAX_PATH - 12 && Native_Path(path, p)) full = p.wstring();
  if (full.compare(0, 4, L"\\\\?\\") != 0) return path;  // short enough as it is
  DWORD n = GetShortPathNameW(full.c_str(), nullptr, 0);
  std::wstring brief(n, L'\0');
  if (n > 0) n = GetShortPathNameW(full.c_str(), &brief[0], n);
  if (n == 0 || n >= brief.size()) return path;
  brief.resize(n);
  if (brief.compare(0, 8, L"\\\\?\\UNC\\") == 0)
    brief = L"\\\\" + brief.substr(8);
  else if (brief.compare(0, 4, L"\\\\?\\") == 0)
    brief.erase(0, 4);
  return brief.size() < MAX_PATH ? To_Utf8(brief) : path;
}

}  // namespace

int Compile(Compile_Request r) {
  std::cout.flush();
  std::fflush(stdout);
  std::string why = Unsafe_Compile(r);
  if (!why.empty()) {
    std::cerr << "velder: " << why << "，没有编译。\n";
    return 1;
  }
  Process_Spec s;
  s.env = r.env;
  s.on_output = r.on_output;
  // In place before the start: a Ctrl+C the moment the compiler starts
  // is the compiler's too.
  static bool handler = SetConsoleCtrlHandler(Leave_Break_To_Child, TRUE) != 0;
  (void)handler;
  compiling = true;
  Process_End e = Run_Cmd_Line(s, Compile_Command(r.com_path, r.com_settings, r.epath, r.fpath));
  compile_ended = GetTickCount64();
  compiling = false;
  if (!e.started) {
    std::cerr << "velder: cmd.exe: 无法启动（错误 " << e.error << "）\n";
    return 1;
  }
  return Exit_Status(e);
}

int Launch(Launch_Request r) {
  std::string epath = Short_Start_Path(r.epath);
  if (r.con_path.empty()) return Run_Command(Direct_Launch_Command(r.fpath, epath));
  return Run_Command(Pauser_Launch_Command(Short_Start_Path(r.con_path), epath));
}

int Clear_Screen() { return Run_Command("cls"); }

int Pause_For_Key() {
  // cmd.exe's own "pause" reads a key from standard input even when that
  // is a pipe or a file: it would eat a byte of the answers that follow,
  // or, since velder reads ahead, of whatever lies beyond its buffer. So
  // without a console the pause only shows its prompt and reads nothing,
  // as on POSIX.
  if (!Stdin_Is_Terminal()) {
    std::cout << "请按任意键继续……\n";
    std::cout.flush();
    return 0;
  }
  return Run_Command("pause");
}

int Set_Title(std::string title) { return Run_Command("title " + title); }

int Open_Editor(std::string fpath) { return Run_Command(Editor_Command(fpath)); }

}  // namespace platform
