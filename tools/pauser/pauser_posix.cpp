#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include <termios.h>
#include <unistd.h>

#include "judge.h"
#include "pauser.h"
#include "platform/input.h"
#include "platform/Unix/commands.h"
#include "platform/process.h"
#include "platform/requests.h"
#include "platform/Unix/tty.h"

namespace {

std::string Reason(int err) {
  if (err == ENOENT) return "找不到该程序。";
  if (err == EACCES) return "没有执行权限，或它不是文件。";
  if (err == ENOEXEC) return "它不是可执行的程序。";
  return std::string("系统错误：") + std::strerror(err) + "。";
}

std::string Signal_Name(int sig) {
  switch (sig) {
    case SIGSEGV: return "SIGSEGV，段错误";
    case SIGABRT: return "SIGABRT，程序中止";
    case SIGFPE: return "SIGFPE，算术错误";
    case SIGILL: return "SIGILL，非法指令";
    case SIGBUS: return "SIGBUS，总线错误";
    case SIGKILL: return "SIGKILL";
    case SIGXCPU: return "SIGXCPU，CPU 时间超限";
    case SIGTERM: return "SIGTERM";
    case SIGINT: return "SIGINT，中断";
    case SIGQUIT: return "SIGQUIT";
    case SIGHUP: return "SIGHUP";
    case SIGPIPE: return "SIGPIPE，管道破裂";
    default: return std::string();
  }
}

// The likely cause of the crashes met most often. A stack overflow shows
// here as a segmentation fault too.
std::string Signal_Hint(int sig) {
  switch (sig) {
    case SIGSEGV: return "多半是数组越界、空指针、用了已释放的内存，或递归太深。";
    case SIGFPE: return "多半是整数除以零，或对零取余。";
    case SIGABRT: return "多半是 assert 不成立，或有异常没被捕获；原因可能就在上面的输出里。";
    case SIGXCPU: return "程序用完了允许的 CPU 时间（ulimit -t）：多半是死循环，或算法太慢。";
    case SIGKILL:
      return "可能是内存用尽而被系统终止，或用到了 CPU 时间的硬限制（ulimit -t），也可能是被别的程序终止了（kill -9）。";
    default: return std::string();
  }
}

// The program runs in its own folder, so that the relative names it opens
// mean the files beside it; its path is made absolute to be found from
// there.
std::string Absolute(const std::string& prog) {
  std::error_code ec;
  std::filesystem::path p = std::filesystem::absolute(prog, ec);
  return ec ? prog : p.lexically_normal().string();
}

}  // namespace

const char END_OF_INPUT[] = "在一行的开头按 Ctrl+D";

// By the usual escape sequence, where the terminal understands one.
void Title_Window(const std::string& title) { platform::Set_Title(title); }

std::vector<std::string> Arguments(int argc, char** argv) {
  return std::vector<std::string>(argv + 1, argv + argc);
}

std::string Find_Program(const std::string& name) {
  std::string prog = platform::Find_On_Path(platform::Program_Word(name));
  return prog.empty() ? prog : Absolute(prog);
}

Ending Describe(const std::string& name, const platform::Process_End& end) {
  Ending e;
  e.name = name;
  if (!end.started) {
    e.why = Reason(end.error);
    return e;
  }
  e.started = true;
  e.seconds = end.seconds;
  e.cpu_seconds = end.cpu_seconds;
  e.peak_bytes = end.peak_bytes;
  e.code = end.code;
  e.status = platform::Exit_Status(end);
  if (end.signaled) {
    int sig = static_cast<int>(end.code);
    e.signaled = true;
    e.why = Signal_Name(sig);
    e.hint = Signal_Hint(sig);
  }
  return e;
}

// Found as velder's own command layer finds programs: a bare name in the
// working directory first, then on PATH.
Ending Run_Program(int argc, char** argv) {
  std::string prog = Find_Program(argv[1]);
  bool by_path = platform::Program_Word(argv[1]).find('/') != std::string::npos;
  platform::Process_End end;
  end.error = ENOENT;
  if (!prog.empty()) {
    // Run as a job of its own: Ctrl+C and Ctrl+\ reach the program, not
    // the pauser, which stays to report how it ended.
    platform::Process_Spec s;
    s.argv.assign(argv + 1, argv + argc);
    s.program = prog;
    // A program named by its path works in its own folder; a command
    // found on PATH (python3) works where the pauser was started.
    if (by_path) s.dir = std::filesystem::path(s.program).parent_path().string();
    end = platform::Run_Process(s);
  }
  return Describe(argv[1], end);
}

// Run_Process runs it as a job of its own, which takes the terminal and
// its keys while it runs and gives them back after.
platform::Process_End Run_Guarded(platform::Process_Spec s) { return platform::Run_Process(s); }

void Discard_Typed_Keys() {
  // Only in the foreground: a pauser in the background would be stopped
  // for touching the terminal.
  if (isatty(STDIN_FILENO) && platform::In_Foreground()) tcflush(STDIN_FILENO, TCIFLUSH);
}
