#include "harness.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <stdexcept>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

const char PAUSE_PROMPT[] = "请按任意键继续……";
const char FAREWELL[] = "将在 3s 内退出……\n";
const char DIGIT_MESSAGE[] = "输入不是自然数，请重新输入。\n";
const char RANGE_MESSAGE[] = "输入不在给定范围内，请重新输入。\n";
const char PAUSER_FIGURES[] = "用时 T 秒，CPU 时间 C 秒，内存峰值 M。";

namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point t) {
  return std::chrono::duration<double>(Clock::now() - t).count();
}

int Decode_Status(int st) {
  if (WIFEXITED(st)) return WEXITSTATUS(st);
  if (WIFSIGNALED(st)) return 128 + WTERMSIG(st);
  return -1;
}

// Runs in the child, after fork: never returns.
[[noreturn]] void Exec_Child(const Options& o) {
  if (!o.cwd.empty() && chdir(o.cwd.c_str()) != 0) _exit(126);
  for (const auto& name : o.unset) unsetenv(name.c_str());
  for (const auto& kv : o.env) setenv(kv.first.c_str(), kv.second.c_str(), 1);
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(o.program.c_str()));
  for (const auto& a : o.args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  signal(SIGPIPE, SIG_DFL);
  execv(o.program.c_str(), argv.data());
  _exit(127);
}

void Set_Nonblock(int fd) { fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK); }

// Appends what fd has; false once it is closed.
bool Drain(int fd, std::string& into) {
  char buf[65536];
  for (;;) {
    ssize_t k = read(fd, buf, sizeof buf);
    if (k > 0) {
      into.append(buf, static_cast<std::size_t>(k));
      continue;
    }
    if (k < 0 && (errno == EAGAIN || errno == EINTR)) return true;
    return false;  // EOF, or EIO from a pty whose other side has gone
  }
}

// A sanitizer report in the program under test fails the test that
// started it, whatever that test looks at. (The report also aborts the
// program, but some tests expect an abort of their own.)
void Check_No_Sanitizer_Report(const Result& r) {
  for (const std::string* s : {&r.out, &r.err})
    if (s->find("runtime error:") != std::string::npos ||
        s->find("Sanitizer") != std::string::npos)
      ADD_FAILURE() << "sanitizer report:\n" << *s;
}

void Finish(pid_t pid, Result& r, Clock::time_point t0, bool kill_first) {
  if (kill_first) kill(pid, SIGKILL);
  int st = 0;
  waitpid(pid, &st, 0);
  r.seconds = Since(t0);
  r.status = Decode_Status(st);
  Check_No_Sanitizer_Report(r);
}

}  // namespace

Result Run_Piped(Options o, std::string input) {
  signal(SIGPIPE, SIG_IGN);
  int in[2], out[2], err[2];
  if (pipe(in) || pipe(out) || pipe(err)) throw std::runtime_error("pipe");
  Clock::time_point t0 = Clock::now();
  pid_t pid = fork();
  if (pid == 0) {
    dup2(in[0], 0);
    dup2(out[1], 1);
    dup2(err[1], 2);
    for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) close(fd);
    Exec_Child(o);
  }
  close(in[0]);
  close(out[1]);
  close(err[1]);
  for (int fd : {in[1], out[0], err[0]}) Set_Nonblock(fd);
  Result r;
  std::size_t sent = 0;
  int wfd = in[1];
  if (input.empty()) {
    close(wfd);
    wfd = -1;
  }
  bool out_open = true, err_open = true;
  while (out_open || err_open) {
    if (Since(t0) > o.timeout) {
      r.timed_out = true;
      break;
    }
    pollfd fds[3] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}, {wfd, POLLOUT, 0}};
    poll(fds, wfd >= 0 ? 3 : 2, 100);
    if (out_open) out_open = Drain(out[0], r.out);
    if (err_open) err_open = Drain(err[0], r.err);
    if (wfd >= 0 && (fds[2].revents & (POLLOUT | POLLERR | POLLHUP))) {
      ssize_t k = write(wfd, input.data() + sent, input.size() - sent);
      if (k > 0) sent += static_cast<std::size_t>(k);
      if ((k < 0 && errno != EAGAIN) || sent == input.size()) {
        close(wfd);
        wfd = -1;
      }
    }
  }
  if (wfd >= 0) close(wfd);
  close(out[0]);
  close(err[0]);
  Finish(pid, r, t0, r.timed_out);
  return r;
}

Result Run_Pty(Options o, std::vector<Step> steps) {
  int master = -1;
  struct winsize ws {};
  ws.ws_row = 40;
  ws.ws_col = 120;
  Clock::time_point t0 = Clock::now();
  pid_t pid = forkpty(&master, nullptr, nullptr, &ws);
  if (pid < 0) throw std::runtime_error("forkpty");
  if (pid == 0) Exec_Child(o);
  Set_Nonblock(master);
  Result r;
  std::size_t step = 0, from = 0;
  Clock::time_point due{};  // when the current step's delay began
  bool open = true;
  while (open) {
    if (Since(t0) > o.timeout) {
      r.timed_out = true;
      break;
    }
    pollfd fd = {master, POLLIN, 0};
    poll(&fd, 1, 50);
    open = Drain(master, r.out);
    while (step < steps.size()) {
      std::size_t at = r.out.find(steps[step].expect, from);
      if (at == std::string::npos) break;
      struct termios mode {};
      if (steps[step].raw && (tcgetattr(master, &mode) != 0 || (mode.c_lflag & ICANON))) break;
      if (steps[step].delay > 0) {
        if (due == Clock::time_point{}) due = Clock::now();
        if (Since(due) < steps[step].delay) break;
        due = Clock::time_point{};
      }
      from = at + steps[step].expect.size();
      const std::string& s = steps[step].send;
      if (!s.empty() && write(master, s.data(), s.size()) < 0) break;
      ++step;
    }
  }
  close(master);
  Finish(pid, r, t0, r.timed_out);
  return r;
}

Temp_Dir::Temp_Dir() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "velder-test-XXXXXX").string();
  if (!mkdtemp(&tmpl[0])) throw std::runtime_error("mkdtemp");
  path_ = tmpl;
}

Temp_Dir::~Temp_Dir() {
  std::error_code ec;
  // Tests may leave read-only or immutable entries; make them removable.
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ec);
  std::filesystem::remove_all(path_, ec);
}

std::string Read_File_Bytes(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

void Write_File_Bytes(const std::string& path, const std::string& bytes) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f << bytes;
}

bool Exists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::symlink_status(path, ec).type() != std::filesystem::file_type::not_found;
}

std::string Helper(const std::string& name) { return std::string(HELPER_DIR) + "/" + name; }

std::string Main_Page_Text() {
  return std::string(43, ' ') + "Tarnwickshade\n" + std::string(100, '-') +
         "\n1. 编辑 C++ 文件\n2. 运行 C++ 程序\n3. 设置\n4. 保存信息并退出\n\n";
}

std::string Cls_Dumb() { return "\f"; }
std::string Cls_Smart() { return "\x1b[H\x1b[2J\x1b[3J"; }

std::string Fixed_Figures(const std::string& s) {
  static const std::regex figures(
      "用时 [0-9]+\\.[0-9]{3} 秒，CPU 时间 [0-9]+\\.[0-9]{3} 秒，内存峰值 [0-9]+(\\.[0-9]+)? (KiB|MiB|GiB)。");
  return std::regex_replace(s, figures, PAUSER_FIGURES);
}

const char CASE_FIGURES[] = "CPU 时间 C 秒，内存峰值 M。";

std::string Fixed_Case_Figures(const std::string& s) {
  static const std::regex figures(
      "CPU 时间 [0-9]+\\.[0-9]{3} 秒(，内存峰值 [0-9]+(\\.[0-9]+)? (KiB|MiB|GiB))?。");
  return std::regex_replace(Fixed_Figures(s), figures, CASE_FIGURES);
}

std::string Busy_As_Cpu(std::string s) {
  const std::string wall = "超时（运行 10 秒仍未结束，已终止）", cpu = "超时（CPU 时间超过 1 秒）";
  std::size_t at = s.find(wall);
  return at == std::string::npos ? s : s.replace(at, wall.size(), cpu);
}

Pauser_Figures Figures_In(const std::string& out) {
  static const std::regex figures(
      "用时 ([0-9.]+) 秒，CPU 时间 ([0-9.]+) 秒，内存峰值 ([0-9.]+) (KiB|MiB|GiB)。");
  std::smatch m;
  Pauser_Figures f;
  if (!std::regex_search(out, m, figures)) return f;
  f.seconds = std::atof(m[1].str().c_str());
  f.cpu = std::atof(m[2].str().c_str());
  f.mib = std::atof(m[3].str().c_str()) * (m[4] == "KiB" ? 1.0 / 1024 : m[4] == "GiB" ? 1024 : 1);
  return f;
}

std::string Onlcr(std::string s) {
  std::string r;
  for (char c : s) {
    if (c == '\n') r += '\r';
    r += c;
  }
  return r;
}
