#include <windows.h>

#include <psapi.h>
#include <shellapi.h>

#include <algorithm>
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

bool Is_File(const std::wstring& path) {
  DWORD a = GetFileAttributesW(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

// CreateProcess looks for a bare name in the pauser's own folder before
// the working directory, so "hello.exe" typed beside the user's program
// could start a program of that name that lies beside the pauser. A bare
// name that names a file here (with or without its ".exe") means that
// file, as for cmd.exe; any other is left to the search.
std::wstring Program_Path(std::wstring name) {
  bool bare = name.find_first_of(L"\\/:") == std::wstring::npos;
  if (bare && (Is_File(name) || Is_File(name + L".exe"))) return L".\\" + name;
  return name;
}

// The program name is read by CreateProcess up to the closing quote, no
// escapes; a Windows file name holds no quote.
std::wstring Command_Line(wchar_t** w, int n) {
  std::wstring line = L"\"" + Program_Path(w[1]) + L"\"";
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

// The exceptions a program meets most often, by name, and for the common
// ones the likely cause.
struct Exception {
  DWORD code;
  const char* name;
  const char* hint;
};

const Exception EXCEPTIONS[] = {
    {0xC0000005, "访问冲突", "多半是数组越界、空指针，或用了已释放的内存。"},
    {0xC00000FD, "栈溢出", "多半是递归太深或停不下来，或局部数组太大。"},
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

double Seconds(FILETIME t) {
  return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) |
                             t.dwLowDateTime) /
         1e7;
}

// User plus kernel time, by GetProcessTimes or GetThreadTimes.
double Cpu_Seconds(BOOL(WINAPI* times)(HANDLE, LPFILETIME, LPFILETIME, LPFILETIME, LPFILETIME),
                   HANDLE h) {
  FILETIME created, ended, kernel, user;
  return times(h, &created, &ended, &kernel, &user) ? Seconds(kernel) + Seconds(user) : 0;
}

long long Peak_Working_Set(HANDLE process) {
  PROCESS_MEMORY_COUNTERS m{};
  m.cb = sizeof m;
  return K32GetProcessMemoryInfo(process, &m, sizeof m)
             ? static_cast<long long>(m.PeakWorkingSetSize)
             : 0;
}

// Windows keeps an ended process's figures until its last handle closes.
// Wine, on which the Windows build is tested, does not: it forgets the
// memory counters at the end and gives no CPU time for another process,
// though it does for that process's threads. So the peak is also read
// every 10 ms while the program runs, and the main thread's time stands
// in when the process's is missing; on Windows both are at most the
// process's own figures, which win.
void Wait_And_Measure(const PROCESS_INFORMATION& pi, Ending& e) {
  // Read at once, and every millisecond at first, so that a program that
  // ends within a few milliseconds has a figure under Wine too.
  long long peak = Peak_Working_Set(pi.hProcess);
  for (int i = 0; WaitForSingleObject(pi.hProcess, i < 100 ? 1 : 10) == WAIT_TIMEOUT; ++i)
    peak = std::max(peak, Peak_Working_Set(pi.hProcess));
  e.peak_bytes = std::max(peak, Peak_Working_Set(pi.hProcess));
  e.cpu_seconds =
      std::max(Cpu_Seconds(GetProcessTimes, pi.hProcess), Cpu_Seconds(GetThreadTimes, pi.hThread));
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
  Wait_And_Measure(pi, e);
  DWORD code = 0;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  SetConsoleCtrlHandler(Stay, FALSE);
  e.code = code;
  e.status = static_cast<int>(code);
  // Crashes end with an NTSTATUS such as 0xC0000005, better read in hex,
  // and the common ones by name.
  if (code >= 0x80000000UL) e.why = Code_In_Hex(code);
  if (const Exception* x = Known_Exception(code)) {
    e.crashed = true;
    e.why += std::string("，") + x->name;
    e.hint = x->hint;
  }
  return e;
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
