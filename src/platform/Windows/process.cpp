// One program started with CreateProcessW, no cmd.exe between, watched
// until it ends: its figures, and the limits of a judged run.
#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "platform/Windows/long_path.h"
#include "platform/process.h"
#include "platform/Windows/utf16.h"

namespace platform {

namespace {

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

// The program is read by CreateProcess up to the closing quote, with no
// escapes; a Windows file name holds no quote.
std::wstring Command_Line(const std::vector<std::wstring>& argv) {
  std::wstring line = L"\"" + argv[0] + L"\"";
  for (std::size_t i = 1; i < argv.size(); ++i) line += L" " + Quote_Argument(argv[i]);
  return line;
}

// A path too long for CreateProcess by its short (8.3) name, where that
// is shorter. CreateProcess takes no working folder longer than MAX_PATH,
// and Wine no longer program either, not even in the \\?\ form.
std::wstring Short_Form(const std::wstring& dir) {
  if (dir.size() < MAX_PATH - 1) return dir;
  std::vector<wchar_t> s(32768);
  DWORD n = GetShortPathNameW(Long_Form(dir).c_str(), s.data(), 32768);
  std::wstring shorter(s.data(), n < 32768 ? n : 0);
  if (shorter.rfind(L"\\\\?\\", 0) == 0 && shorter.rfind(L"\\\\?\\UNC\\", 0) != 0) shorter.erase(0, 4);
  return !shorter.empty() && shorter.size() < dir.size() ? shorter : dir;
}

// The long name of a path that may be given in its short (8.3) form: it
// is the long one that decides whether a stand-in is needed. The path as
// it is when there is none.
std::wstring Long_Name(const std::wstring& path) {
  std::vector<wchar_t> s(32768);
  DWORD n = GetLongPathNameW(Long_Form(path).c_str(), s.data(), 32768);
  if (n == 0 || n >= 32768) return path;
  std::wstring whole(s.data(), n);
  if (whole.rfind(L"\\\\?\\", 0) == 0 && whole.rfind(L"\\\\?\\UNC\\", 0) != 0) whole.erase(0, 4);
  return whole;
}

// Wine starts no program whose full path is longer than MAX_PATH, not by
// its short name nor in the \\?\ form. Such a program is started from a
// link to it (a copy where no link can be made) in a fresh folder of its
// own under the temporary folder, removed when it has ended.
struct Stand_In {
  std::wstring folder, program;

  explicit Stand_In(const std::wstring& original) {
    wchar_t temp[MAX_PATH + 1];
    DWORD n = GetTempPathW(MAX_PATH + 1, temp);
    if (n == 0 || n > MAX_PATH) return;
    for (int i = 0; i < 100 && folder.empty(); ++i) {
      std::wstring f = temp + (L"velder-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                               std::to_wstring(GetTickCount64() + static_cast<unsigned>(i)));
      if (CreateDirectoryW(f.c_str(), nullptr)) folder = f;
    }
    if (folder.empty()) return;
    std::wstring p = folder + original.substr(original.find_last_of(L"\\/"));
    std::wstring from = Long_Form(original);
    if (CreateHardLinkW(p.c_str(), from.c_str(), nullptr) || CopyFileW(from.c_str(), p.c_str(), TRUE))
      program = p;
  }
  ~Stand_In() {
    if (!program.empty()) DeleteFileW(program.c_str());
    if (!folder.empty()) RemoveDirectoryW(folder.c_str());
  }
};

std::wstring Wide(const std::string& s) {
  std::wstring w;
  return To_Wide(s, w) ? w : To_Utf16_Lenient(s);
}

HANDLE Open_For_Child(const std::string& path, bool write) {
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  return CreateFileW(Long_Form(Wide(path)).c_str(), write ? GENERIC_WRITE : GENERIC_READ,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &sa,
                     write ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

HANDLE Inheritable_Copy(HANDLE h) {
  HANDLE copy = nullptr;
  if (h != nullptr && h != INVALID_HANDLE_VALUE)
    DuplicateHandle(GetCurrentProcess(), h, GetCurrentProcess(), &copy, 0, TRUE,
                    DUPLICATE_SAME_ACCESS);
  return copy;
}

void Close(HANDLE& h) {
  if (h != nullptr && h != INVALID_HANDLE_VALUE) CloseHandle(h);
  h = nullptr;
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

// Wine answers GetProcessTimes for another process with the caller's own
// times (this process's, which grow as it watches a long case), though it
// gives the right times for that process's threads: under Wine the main
// thread's time is the figure. On Windows it is at most the process's own.
bool Under_Wine() {
  static const bool wine =
      GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
  return wine;
}

double Cpu_Seconds(const PROCESS_INFORMATION& pi) {
  double thread = Cpu_Seconds(GetThreadTimes, pi.hThread);
  return Under_Wine() ? thread : std::max(Cpu_Seconds(GetProcessTimes, pi.hProcess), thread);
}

long long Peak_Working_Set(HANDLE process) {
  PROCESS_MEMORY_COUNTERS m{};
  m.cb = sizeof m;
  return K32GetProcessMemoryInfo(process, &m, sizeof m)
             ? static_cast<long long>(m.PeakWorkingSetSize)
             : 0;
}

long long Size_Of(HANDLE file) {
  LARGE_INTEGER n{};
  return GetFileSizeEx(file, &n) ? n.QuadPart : 0;
}

// The largest file in dir. Each is asked for its size: a folder listing
// tells the size a file had when it was last closed.
long long Largest_File_In(const std::wstring& dir) {
  WIN32_FIND_DATAW f;
  HANDLE h = FindFirstFileW(Long_Form(dir + L"\\*").c_str(), &f);
  if (h == INVALID_HANDLE_VALUE) return 0;
  long long most = 0;
  do {
    WIN32_FILE_ATTRIBUTE_DATA a;
    if (!(f.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
        GetFileAttributesExW(Long_Form(dir + L"\\" + f.cFileName).c_str(), GetFileExInfoStandard, &a))
      most = std::max(most, static_cast<long long>(a.nFileSizeHigh) << 32 | a.nFileSizeLow);
  } while (FindNextFileW(h, &f));
  FindClose(h);
  return most;
}

// The program and whatever it starts, ended together when a limit is
// passed. Without a job (Windows 7 nests none) the program alone.
struct Job {
  HANDLE job = CreateJobObjectW(nullptr, nullptr);
  Job() {
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION li{};
    li.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (job) SetInformationJobObject(job, JobObjectExtendedLimitInformation, &li, sizeof li);
  }
  ~Job() { Close(job); }
  void Kill(HANDLE process) {
    if (!job || !TerminateJobObject(job, 1)) TerminateProcess(process, 1);
  }
};

using Clock = std::chrono::steady_clock;

// Waits for the program, reading its peak working set as it runs (Wine
// forgets it at the end), and ends it when it passes a limit. Read at
// once, and every millisecond at first, so that a program that ends
// within a few milliseconds has a figure under Wine too.
void Watch(const Process_Spec& s, const PROCESS_INFORMATION& pi, HANDLE output, Job& job,
           Process_End& e) {
  Clock::time_point start = Clock::now();
  std::wstring dir = Wide(s.dir);
  long long peak = Peak_Working_Set(pi.hProcess);
  for (int i = 0; WaitForSingleObject(pi.hProcess, i < 100 ? 1 : 10) == WAIT_TIMEOUT; ++i) {
    peak = std::max(peak, Peak_Working_Set(pi.hProcess));
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    e.cpu_exceeded = s.cpu_limit > 0 && Cpu_Seconds(pi) > s.cpu_limit;
    e.timed_out = s.wall_limit > 0 && seconds > s.wall_limit;
    if (s.output_limit > 0 && i % 5 == 0) {
      long long written = output ? Size_Of(output) : 0;
      if (!s.dir.empty()) written = std::max(written, Largest_File_In(dir));
      e.output_exceeded = written > s.output_limit;
    }
    if (e.cpu_exceeded || e.timed_out || e.output_exceeded) {
      job.Kill(pi.hProcess);
      WaitForSingleObject(pi.hProcess, 5000);
      break;
    }
  }
  e.peak_bytes = std::max(peak, Peak_Working_Set(pi.hProcess));
  e.cpu_seconds = Cpu_Seconds(pi);
  e.seconds = std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

std::wstring Long_Form(std::wstring path) {
  if (path.size() < MAX_PATH - 12 || path.rfind(L"\\\\?\\", 0) == 0) return path;
  std::replace(path.begin(), path.end(), L'/', L'\\');
  if (path.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + path.substr(2);
  bool absolute = path.size() > 2 && path[1] == L':' && path[2] == L'\\';
  return absolute ? L"\\\\?\\" + path : path;
}

Process_End Run_Process(Process_Spec s) {
  Process_End e;
  if (s.argv.empty()) {
    e.error = ERROR_FILE_NOT_FOUND;
    return e;
  }
  std::vector<std::wstring> argv;
  for (const std::string& a : s.argv) argv.push_back(Wide(a));
  std::wstring file = s.program.empty() ? argv[0] : Wide(s.program);
  std::wstring line = Command_Line(argv), program = Short_Form(file);
  std::wstring dir = Short_Form(Wide(s.dir));
  bool redirect = !s.input.empty() || !s.output.empty();
  HANDLE in = nullptr, out = nullptr, err = nullptr;
  STARTUPINFOW si{};
  si.cb = sizeof si;
  if (redirect) {
    in = s.input.empty() ? Inheritable_Copy(GetStdHandle(STD_INPUT_HANDLE))
                         : Open_For_Child(s.input, false);
    out = s.output.empty() ? Inheritable_Copy(GetStdHandle(STD_OUTPUT_HANDLE))
                           : Open_For_Child(s.output, true);
    err = Inheritable_Copy(GetStdHandle(STD_ERROR_HANDLE));
    if (in == INVALID_HANDLE_VALUE || out == INVALID_HANDLE_VALUE) {
      e.error = static_cast<int>(GetLastError());
      Close(in), Close(out), Close(err);
      return e;
    }
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = in, si.hStdOutput = out, si.hStdError = err;
  }
  bool limited = s.cpu_limit > 0 || s.wall_limit > 0 || s.output_limit > 0;
  Job job;
  PROCESS_INFORMATION pi{};
  // The program is named in full, so that CreateProcess does not look
  // for it beside this program first.
  auto start = [&](const std::wstring& app) {
    DWORD flags = (limited ? CREATE_SUSPENDED : 0) | (s.foreground ? 0 : CREATE_NO_WINDOW);
    return CreateProcessW(app.c_str(), &line[0], nullptr, nullptr, redirect, flags, nullptr,
                          s.dir.empty() ? nullptr : dir.c_str(), &si, &pi) != 0;
  };
  // A judged run shows no crash dialog (nor, under Wine, a crash dump
  // that takes seconds): either would hold it until its time ran out.
  // The program inherits the error mode it is started with.
  UINT error_mode = limited ? SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX) : 0;
  bool ok = start(program);
  if (!ok) e.error = static_cast<int>(GetLastError());
  // Handed a short form, Wine 10 fails too (its short names lose Chinese
  // characters): the long name decides, whatever the error was.
  std::unique_ptr<Stand_In> stand_in;
  std::wstring whole = ok ? file : Long_Name(file);
  if (!ok && whole.size() >= MAX_PATH - 1) {
    stand_in.reset(new Stand_In(whole));
    ok = !stand_in->program.empty() && start(stand_in->program);
  }
  if (limited) SetErrorMode(error_mode);
  if (ok) e.error = 0;
  Close(in), Close(err);
  if (!ok) {
    Close(out);
    return e;
  }
  e.started = true;
  if (limited) {
    if (job.job) AssignProcessToJobObject(job.job, pi.hProcess);
    ResumeThread(pi.hThread);
  }
  Watch(s, pi, s.output.empty() ? nullptr : out, job, e);
  Close(out);
  DWORD code = 0;
  GetExitCodeProcess(pi.hProcess, &code);
  e.code = code;
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return e;
}

int Exit_Status(const Process_End& e) { return e.started ? static_cast<int>(e.code) : 127; }

}  // namespace platform
