#include "harness.h"

#include <algorithm>
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
  // No run fills the user's real cache with precompiled headers; a test
  // of them sets or unsets this itself.
  setenv("VELDER_NO_PCH", "1", 1);
  for (const auto& name : o.unset) unsetenv(name.c_str());
  for (const auto& kv : o.env) setenv(kv.first.c_str(), kv.second.c_str(), 1);
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(o.program.c_str()));
  for (const auto& a : o.args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  signal(SIGPIPE, SIG_DFL);
  for (int sig : o.ignored) signal(sig, SIG_IGN);
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

void Close(int& fd) {
  if (fd >= 0) close(fd);
  fd = -1;
}

}  // namespace

Live::Live(Options o, Input how) : o_(std::move(o)), how_(how) {
  signal(SIGPIPE, SIG_IGN);
  t0_ = Clock::now();
  if (how_ == Input::terminal) {
    struct winsize ws {};
    ws.ws_row = 40;
    ws.ws_col = 120;
    int master = -1;
    pid_ = forkpty(&master, nullptr, nullptr, &ws);
    if (pid_ < 0) throw std::runtime_error("forkpty");
    if (pid_ == 0) Exec_Child(o_);
    Set_Nonblock(master);
    in_ = out_ = master;
    out_open_ = true;
    return;
  }
  bool own_out = o_.out_fd < 0;
  int in[2], out[2] = {-1, -1}, err[2];
  if (pipe(in) || (own_out && pipe(out)) || pipe(err)) throw std::runtime_error("pipe");
  pid_ = fork();
  if (pid_ < 0) throw std::runtime_error("fork");
  if (pid_ == 0) {
    dup2(in[0], 0);
    dup2(own_out ? out[1] : o_.out_fd, 1);
    dup2(err[1], 2);
    for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1], o_.out_fd})
      if (fd > 2) close(fd);
    Exec_Child(o_);
  }
  close(in[0]);
  close(err[1]);
  if (own_out) close(out[1]);
  in_ = in[1];
  out_ = out[0];
  err_ = err[0];
  for (int fd : {in_, out_, err_})
    if (fd >= 0) Set_Nonblock(fd);
  out_open_ = own_out;
  err_open_ = true;
}

Live::~Live() {
  if (!reaped_) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  if (how_ == Input::terminal) in_ = -1;  // the master, closed once as out_
  Close(in_);
  Close(out_);
  Close(err_);
}

bool Live::Past_Deadline() {
  if (Since(t0_) <= o_.timeout) return false;
  r_.timed_out = true;
  return true;
}

// Writes what was typed, as far as the program makes room for it.
void Live::Send() {
  while (in_ >= 0 && !pending_.empty()) {
    ssize_t k = write(in_, pending_.data(), pending_.size());
    if (k > 0) {
      pending_.erase(0, static_cast<std::size_t>(k));
      continue;
    }
    if (k < 0 && (errno == EAGAIN || errno == EINTR)) return;
    pending_.clear();  // the reader has gone
    if (how_ == Input::pipe) Close(in_);
  }
  if (closing_ && how_ == Input::pipe) Close(in_);
}

// Waits up to ms for output, or for room for the input, and takes both.
void Live::Pump(int ms) {
  pollfd fds[3];
  nfds_t n = 0;
  if (out_open_) fds[n++] = {out_, POLLIN, 0};
  if (err_open_) fds[n++] = {err_, POLLIN, 0};
  if (in_ >= 0 && !pending_.empty() && in_ != out_) fds[n++] = {in_, POLLOUT, 0};
  poll(fds, n, ms);
  if (out_open_) out_open_ = Drain(out_, r_.out);
  if (err_open_) err_open_ = Drain(err_, r_.err);
  Send();
}

bool Live::Wait_For(const std::string& text) { return Wait_For_Any({text}) == 0; }

int Live::Wait_For_Any(const std::vector<std::string>& texts) {
  for (;;) {
    std::size_t first = std::string::npos;
    int which = -1;
    for (std::size_t i = 0; i < texts.size(); ++i) {
      std::size_t at = r_.out.find(texts[i], from_);
      if (at < first) first = at, which = static_cast<int>(i);
    }
    if (which >= 0) {
      from_ = first + texts[static_cast<std::size_t>(which)].size();
      return which;
    }
    if (!out_open_ || Past_Deadline()) return -1;
    Pump(50);
  }
}

bool Live::Wait_Raw() {
  for (;;) {
    struct termios mode {};
    if (Mode(mode) && !(mode.c_lflag & ICANON)) return true;
    if (!out_open_ || Past_Deadline()) return false;
    Pump(50);
  }
}

void Live::Watch(double seconds) {
  Clock::time_point t = Clock::now();
  int ms = std::min(50, static_cast<int>(seconds * 1000) + 1);
  while (Since(t) < seconds && !Past_Deadline()) Pump(ms);
}

void Live::Type(const std::string& bytes) {
  pending_ += bytes;
  Send();
}

void Live::Close_Input() {
  if (how_ == Input::terminal) {
    Close(out_);
    in_ = -1;
    out_open_ = false;
    return;
  }
  closing_ = true;
  Send();
}

void Live::Close_Output() {
  if (how_ == Input::terminal) return;
  Close(out_);
  out_open_ = false;
}

void Live::Signal(int sig) {
  if (!reaped_) kill(pid_, sig);
}

bool Live::Mode(struct termios& mode) {
  return how_ == Input::terminal && out_ >= 0 && tcgetattr(out_, &mode) == 0;
}

bool Live::Running() {
  int st = 0;
  if (!reaped_ && waitpid(pid_, &st, WNOHANG) == pid_) {
    reaped_ = true;
    r_.status = Decode_Status(st);
    r_.seconds = Since(t0_);
  }
  return !reaped_;
}

Result Live::End() {
  while ((out_open_ || err_open_) && !Past_Deadline()) Pump(100);
  while (Running() && !Past_Deadline()) usleep(1000);
  if (Running()) {
    kill(pid_, SIGKILL);
    int st = 0;
    waitpid(pid_, &st, 0);
    reaped_ = true;
    r_.status = Decode_Status(st);
    r_.seconds = Since(t0_);
  }
  Check_No_Sanitizer_Report(r_);
  return r_;
}

Result Run_Piped(Options o, std::string input) {
  Live s(std::move(o), Input::pipe);
  s.Type(input);
  s.Close_Input();
  return s.End();
}

Result Run_Pty(Options o, std::vector<Step> steps) {
  Live s(std::move(o), Input::terminal);
  for (std::size_t i = 0; i < steps.size(); ++i) {
    // An optional step is passed over when the next one's text shows first.
    bool optional = steps[i].optional && i + 1 < steps.size();
    int k = s.Wait_For_Any(optional ? std::vector<std::string>{steps[i].expect, steps[i + 1].expect}
                                    : std::vector<std::string>{steps[i].expect});
    if (k < 0) break;
    i += static_cast<std::size_t>(k);
    const Step& st = steps[i];
    if (st.raw && !s.Wait_Raw()) break;
    if (st.delay > 0) s.Watch(st.delay);
    s.Type(st.send);
  }
  return s.End();
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
