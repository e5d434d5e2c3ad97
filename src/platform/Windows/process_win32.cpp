// Every program velder, the pauser and the setup tool start on Windows
// is started here, with CreateProcessW: directly, or cmd.exe with one of
// the command lines the requests render. Watched until it ends: its
// figures, and the limits of a judged run.
#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "platform/Windows/cmd.h"
#include "platform/Windows/long_path.h"
#include "platform/Windows/wine_workarounds.h"
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

// What the program writes into the pipe so far, handed on. Never waits:
// PeekNamedPipe says how much is there.
void Pass_Output(HANDLE pipe, const Output_Sink& sink) {
  DWORD avail = 0;
  char buf[65536];
  while (PeekNamedPipe(pipe, nullptr, 0, nullptr, &avail, nullptr) && avail > 0) {
    DWORD got = 0;
    if (!ReadFile(pipe, buf, avail < sizeof buf ? avail : sizeof buf, &got, nullptr) || got == 0)
      return;
    sink(std::string(buf, got));
  }
}

// Waits for the program, reading its peak working set as it runs (see
// Peak_Working_Set), passing its output on, and ends it when it passes a
// limit.
void Watch(const Process_Spec& s, const PROCESS_INFORMATION& pi, HANDLE output, HANDLE pipe,
           Job& job, Process_End& e) {
  Clock::time_point start = Clock::now();
  std::wstring dir = Wide(s.dir);
  long long peak = Peak_Working_Set(pi.hProcess);
  for (int i = 0; WaitForSingleObject(pi.hProcess, i < 100 ? 1 : 10) == WAIT_TIMEOUT; ++i) {
    peak = std::max(peak, Peak_Working_Set(pi.hProcess));
    if (pipe) Pass_Output(pipe, s.on_output);
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
  if (pipe) Pass_Output(pipe, s.on_output);
  e.peak_bytes = std::max(peak, Peak_Working_Set(pi.hProcess));
  e.cpu_seconds = Cpu_Seconds(pi);
  e.seconds = std::chrono::duration<double>(Clock::now() - start).count();
}

bool Same_Name(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// This process's environment with the changes made, as CreateProcessW
// takes it: NAME=value strings, each ended by a NUL, and one more NUL.
// Names are compared as Windows compares them, without letter case.
std::wstring Environment_Block(const std::vector<Env_Change>& changes) {
  std::vector<std::wstring> vars;
  wchar_t* block = GetEnvironmentStringsW();
  for (const wchar_t* v = block; v && *v; v += std::wcslen(v) + 1) vars.push_back(v);
  if (block) FreeEnvironmentStringsW(block);
  for (const Env_Change& c : changes) {
    std::wstring name = Wide(c.name);
    std::vector<std::wstring> kept;
    for (std::wstring& v : vars) {
      // "=C:=C:\dir" and its like: a name may begin with "=".
      std::size_t eq = v.find(L'=', 1);
      if (eq == std::wstring::npos || !Same_Name(v.substr(0, eq), name)) kept.push_back(v);
    }
    vars.swap(kept);
    if (!c.unset) vars.push_back(name + L"=" + Wide(c.value));
  }
  std::wstring r;
  for (const std::wstring& v : vars) r += v + L'\0';
  return r + L'\0';
}

// The program to start: the file, and the whole command line it gets.
// With inherit_std, it gets this process's standard handles (made
// inheritable), as a program started by the C runtime's system() would.
struct Start_Line {
  std::wstring file;
  std::wstring line;
  bool inherit_std = false;
};

// Standard handles for the program, or false with e.error set.
bool Standard_Handles(const Process_Spec& s, bool inherit_std, HANDLE pipe_in, HANDLE& in,
                      HANDLE& out, HANDLE& err, Process_End& e) {
  in = out = err = nullptr;
  if (!inherit_std && s.input.empty() && s.output.empty() && !pipe_in && !s.error_to_output)
    return true;
  in = s.input.empty() ? Inheritable_Copy(GetStdHandle(STD_INPUT_HANDLE))
                       : Open_For_Child(s.input, false);
  out = pipe_in      ? Inheritable_Copy(pipe_in)
        : s.output.empty() ? Inheritable_Copy(GetStdHandle(STD_OUTPUT_HANDLE))
                           : Open_For_Child(s.output, true);
  err = Inheritable_Copy(pipe_in ? pipe_in : s.error_to_output ? out : GetStdHandle(STD_ERROR_HANDLE));
  if (in != INVALID_HANDLE_VALUE && out != INVALID_HANDLE_VALUE) return true;
  e.error = static_cast<int>(GetLastError());
  Close(in), Close(out), Close(err);
  return false;
}

Process_End Run(const Process_Spec& s, const Start_Line& l, bool wait) {
  Process_End e;
  std::wstring line = l.line, program = Short_Form(l.file);
  std::wstring dir = Short_Form(Wide(s.dir));
  HANDLE read_end = nullptr, write_end = nullptr;
  if (s.on_output && !CreatePipe(&read_end, &write_end, nullptr, 0)) {
    e.error = static_cast<int>(GetLastError());
    return e;
  }
  HANDLE in, out, err;
  if (!Standard_Handles(s, l.inherit_std, write_end, in, out, err, e)) {
    Close(read_end), Close(write_end);
    return e;
  }
  Close(write_end);  // the program's copy is the one that counts
  bool redirect = in != nullptr;
  STARTUPINFOW si{};
  si.cb = sizeof si;
  if (redirect) {
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = in, si.hStdOutput = out, si.hStdError = err;
  }
  std::wstring env = s.env.empty() ? std::wstring() : Environment_Block(s.env);
  bool limited = s.cpu_limit > 0 || s.wall_limit > 0 || s.output_limit > 0;
  Job job;
  PROCESS_INFORMATION pi{};
  // The program is named in full, so that CreateProcess does not look
  // for it beside this program first.
  auto start = [&](const std::wstring& app) {
    DWORD flags = (limited ? CREATE_SUSPENDED : 0) | (env.empty() ? 0 : CREATE_UNICODE_ENVIRONMENT) |
                  (s.detached ? DETACHED_PROCESS | CREATE_NEW_PROCESS_GROUP
                   : s.foreground ? 0 : CREATE_NO_WINDOW) |
                  (s.low_priority ? BELOW_NORMAL_PRIORITY_CLASS : 0);
    auto create = [&](DWORD f) {
      return CreateProcessW(app.c_str(), &line[0], nullptr, nullptr, redirect, f,
                            env.empty() ? nullptr : &env[0], s.dir.empty() ? nullptr : dir.c_str(),
                            &si, &pi) != 0;
    };
    // A detached program outlives a job this process may run in (a
    // terminal's or an IDE's that ends its processes on close), where the
    // job lets it go; where it does not, it starts within the job.
    if (s.detached && create(flags | CREATE_BREAKAWAY_FROM_JOB)) return true;
    return create(flags);
  };
  // A judged run shows no crash dialog (nor, under Wine, a crash dump
  // that takes seconds): either would hold it until its time ran out.
  // The program inherits the error mode it is started with.
  UINT error_mode = limited ? SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX) : 0;
  bool ok = start(program);
  if (!ok) e.error = static_cast<int>(GetLastError());
  std::unique_ptr<Stand_In> stand_in;
  std::wstring whole = ok ? l.file : Long_Name(l.file);
  if (!ok && whole.size() >= MAX_PATH - 1) {
    stand_in.reset(new Stand_In(whole));
    ok = !stand_in->program.empty() && start(stand_in->program);
  }
  if (limited) SetErrorMode(error_mode);
  if (ok) e.error = 0;
  Close(in), Close(err);
  if (!ok) {
    Close(out), Close(read_end);
    return e;
  }
  e.started = true;
  if (limited) {
    if (job.job) AssignProcessToJobObject(job.job, pi.hProcess);
    ResumeThread(pi.hThread);
  }
  if (wait) {
    Watch(s, pi, s.output.empty() || read_end ? nullptr : out, read_end, job, e);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    e.code = code;
  }
  Close(out), Close(read_end);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return e;
}

// The program of s started directly, its arguments quoted for its C
// runtime; waited for or not.
Process_End Run_Direct(const Process_Spec& s, bool wait) {
  if (s.argv.empty()) {
    Process_End e;
    e.error = ERROR_FILE_NOT_FOUND;
    return e;
  }
  std::vector<std::wstring> argv;
  for (const std::string& a : s.argv) argv.push_back(Wide(a));
  return Run(s, {s.program.empty() ? argv[0] : Wide(s.program), Command_Line(argv), false}, wait);
}

}  // namespace

std::wstring Long_Form(std::wstring path) {
  if (path.size() < MAX_PATH - 12 || path.rfind(L"\\\\?\\", 0) == 0) return path;
  std::replace(path.begin(), path.end(), L'/', L'\\');
  if (path.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + path.substr(2);
  bool absolute = path.size() > 2 && path[1] == L':' && path[2] == L'\\';
  return absolute ? L"\\\\?\\" + path : path;
}

Process_End Run_Process(Process_Spec s) { return Run_Direct(s, true); }

Process_End Start_Process(Process_Spec s) { return Run_Direct(s, false); }

Process_End Run_Cmd_Line(Process_Spec s, std::string line) {
  Process_End e;
  std::wstring dir(MAX_PATH, L'\0'), w;
  UINT n = GetSystemDirectoryW(&dir[0], MAX_PATH);
  if (n == 0 || n >= MAX_PATH || !To_Wide(line, w)) {
    e.error = n == 0 ? static_cast<int>(GetLastError()) : ERROR_INVALID_PARAMETER;
    return e;
  }
  dir.resize(n);
  return Run(s, {dir + L"\\cmd.exe", w, true}, true);
}

int Exit_Status(const Process_End& e) { return e.started ? static_cast<int>(e.code) : 127; }

}  // namespace platform
