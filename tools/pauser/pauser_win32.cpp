#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <filesystem>
#include <vector>

#include "judge.h"
#include "pauser.h"
#include "platform/input.h"
#include "platform/running.h"
#include "platform/Windows/long_path.h"
#include "platform/Windows/utf16.h"

namespace {

std::string Reason(DWORD err) {
  if (err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND) return "找不到该程序。";
  if (err == ERROR_ACCESS_DENIED) return "没有执行权限，或它不是文件。";
  if (err == ERROR_BAD_EXE_FORMAT) return "它不是可执行的程序。";
  return "系统错误，代码 " + std::to_string(err) + "。";
}

std::wstring Wide(const std::string& s) {
  std::wstring w;
  return platform::To_Wide(s, w) ? w : platform::To_Utf16_Lenient(s);
}

bool Is_File(const std::wstring& path) {
  DWORD a = GetFileAttributesW(platform::Long_Form(path).c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring Full_Path(const std::wstring& path) {
  std::wstring full(32768, L'\0');
  DWORD n = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), &full[0], nullptr);
  full.resize(n < full.size() ? n : 0);
  return full;
}

// The name with ".exe" added when its last part has no extension, as
// CreateProcess reads a program's name; then the name as it is.
std::wstring Existing_Program(const std::wstring& name) {
  std::size_t last = name.find_last_of(L"\\/:");
  bool has_extension = name.find(L'.', last == std::wstring::npos ? 0 : last) != std::wstring::npos;
  for (const std::wstring& n : {has_extension ? name : name + L".exe", name})
    if (Is_File(n)) return n;
  return std::wstring();
}

// Ctrl+C and Ctrl+Break stop the program, not the pauser. A handler, not
// the ignore flag, because the flag would be inherited by the program.
BOOL WINAPI Stay(DWORD event) { return event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT; }

std::string Code_In_Hex(DWORD code) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%08lX", static_cast<unsigned long>(code));
  return hex;
}

// The exceptions a program meets most often, by name, and for the common
// ones the likely cause.
struct Exception {
  DWORD code;
  const char* name;
  const char* hint;
};

const Exception EXCEPTIONS[] = {
    {0xC0000005, "访问冲突", "多半是数组越界、空指针，或用了已释放的内存。"},
    {0xC00000FD, "栈溢出",
     "多半是递归太深或停不下来，或局部数组太大；要更大的栈，可在编译选项里加上 "
     "-Wl,--stack=268435456（256 MiB）。"},
    {0xC0000094, "整数除以零", "看看除法和取余（%）的右边是否可能为零。"},
    {0xC0000095, "整数溢出", "多半是最小的负整数除以 -1。"},
    {0xC000008E, "浮点数除以零", ""},
    {0xC000001D, "非法指令", ""},
    {0xC0000096, "特权指令", ""},
    {0xC0000409, "栈缓冲区溢出",
     "多半是调用了 abort（assert 不成立、有异常没被捕获），或局部数组越界写坏了栈。"},
    {0xC0000374, "堆已损坏", "多半是 new 出来的数组写越界，或同一块内存 delete 了两次。"},
    {0xC0000135, "找不到所需的 DLL",
     "程序要用的 DLL（如编译器的运行库）不在 PATH 上；可在编译选项里加上 -static。"},
    {0xC0000139, "找不到入口点",
     "找到的 DLL 与编译程序的编译器不配套；可在编译选项里加上 -static。"},
    {0xC000013A, "被 Ctrl+C 终止", ""},
    {0x80000003, "断点", ""},
};

const Exception* Known_Exception(DWORD code) {
  for (const Exception& x : EXCEPTIONS)
    if (x.code == code) return &x;
  return nullptr;
}

// A program built with MinGW ends with status 3 when it calls abort()
// and when an exception is thrown that nothing catches.
const char ABORT_HINT[] =
    "返回值 3 多半是程序调用了 abort()（如 assert 不成立），或有异常没被捕获；"
    "原因可能就在上面的输出里。";

// The console as the pauser left it: a program may change its code pages,
// its modes or its colours and end without setting them back, and the
// report and the pause must read as ever.
struct Console_State {
  HANDLE in = GetStdHandle(STD_INPUT_HANDLE), out = GetStdHandle(STD_OUTPUT_HANDLE);
  UINT in_cp = GetConsoleCP(), out_cp = GetConsoleOutputCP();
  DWORD in_mode = 0, out_mode = 0;
  BOOL have_in = GetConsoleMode(in, &in_mode), have_out = GetConsoleMode(out, &out_mode);
  CONSOLE_SCREEN_BUFFER_INFO screen{};
  BOOL have_screen = GetConsoleScreenBufferInfo(out, &screen);

  void Restore() const {
    if (in_cp) SetConsoleCP(in_cp);
    if (out_cp) SetConsoleOutputCP(out_cp);
    if (have_in) SetConsoleMode(in, in_mode);
    if (have_out) SetConsoleMode(out, out_mode);
    if (have_screen) SetConsoleTextAttribute(out, screen.wAttributes);
  }
};

}  // namespace

// Ctrl+Z is read as the end of input only at the start of a line.
const char END_OF_INPUT[] = "在一行的开头按 Ctrl+Z 再按 Enter";

// The window is started with an empty title; its program's name tells it
// from the others.
void Title_Window(const std::string& title) {
  if (!title.empty()) SetConsoleTitleW(Wide(title).c_str());
}

std::vector<std::string> Arguments(int, char**) {
  // The narrow arguments are in the ANSI code page; the wide ones hold
  // every name as typed.
  std::vector<std::string> args;
  int n = 0;
  wchar_t** w = CommandLineToArgvW(GetCommandLineW(), &n);
  for (int i = 1; w != nullptr && i < n; ++i) args.push_back(platform::To_Utf8(w[i]));
  if (w != nullptr) LocalFree(w);
  return args;
}

// A name with a folder in it is taken from there. A bare name that names
// a file here means that file, as for cmd.exe; any other is looked for
// on PATH. Not beside the pauser, where CreateProcess would look first:
// "hello.exe" typed beside the user's program could start a program of
// that name that lies beside the pauser.
std::string Find_Program(const std::string& name) {
  std::wstring w = Wide(name);
  std::wstring found = Existing_Program(w);
  if (found.empty() && w.find_first_of(L"\\/:") == std::wstring::npos) {
    std::vector<wchar_t> path(32768), hit(32768);
    DWORD n = GetEnvironmentVariableW(L"PATH", path.data(), 32768);
    if (n > 0 && n < 32768 && SearchPathW(path.data(), w.c_str(), L".exe", 32768, hit.data(), nullptr) > 0)
      found = hit.data();
  }
  return found.empty() ? std::string() : platform::To_Utf8(Full_Path(found));
}

Ending Describe(const std::string& name, const platform::Process_End& end) {
  Ending e;
  e.name = name;
  if (!end.started) {
    e.why = Reason(static_cast<DWORD>(end.error));
    return e;
  }
  e.started = true;
  DWORD code = static_cast<DWORD>(end.code);
  e.code = code;
  e.status = static_cast<int>(code);
  e.seconds = end.seconds;
  e.cpu_seconds = end.cpu_seconds;
  e.peak_bytes = end.peak_bytes;
  if (code == platform::ENDED_FOR_REBUILD) {
    e.for_rebuild = true;
    return e;
  }
  // Crashes end with an NTSTATUS such as 0xC0000005, better read in hex,
  // and the common ones by name.
  if (code >= 0x80000000UL) e.why = Code_In_Hex(code);
  if (const Exception* x = Known_Exception(code)) {
    e.crashed = true;
    e.why += std::string("，") + x->name;
    e.hint = x->hint;
  }
  if (code == 3) e.hint = ABORT_HINT;
  return e;
}

platform::Process_End Run_Guarded(platform::Process_Spec s) {
  Console_State console;
  SetConsoleCtrlHandler(Stay, TRUE);
  platform::Process_End end = platform::Run_Process(s);
  SetConsoleCtrlHandler(Stay, FALSE);
  console.Restore();
  return end;
}

Ending Run_Program(int argc, char** argv) {
  std::vector<std::string> args = Arguments(argc, argv);
  std::string program = Find_Program(args[0]);
  platform::Process_End not_found;
  not_found.error = ERROR_FILE_NOT_FOUND;
  if (program.empty()) return Describe(args[0], not_found);
  platform::Process_Spec s;
  s.argv = args;
  s.program = program;
  // Relative names in the program mean the files beside it.
  s.dir = std::filesystem::u8path(program).parent_path().u8string();
  return Describe(args[0], Run_Guarded(s));
}

// The console takes keys into its input buffer as they are typed, so
// flushing the buffer drops them. (Wine's console in a Unix terminal
// fetches keys only when a program reads, so there they stay out of
// reach and the first one ends the pause.)
void Discard_Typed_Keys() {
  HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
  DWORD mode;
  if (GetConsoleMode(in, &mode)) FlushConsoleInputBuffer(in);
}

