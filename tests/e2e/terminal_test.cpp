// A signal that ends the program during a pause's key wait (echo and
// line mode off) leaves the terminal as it found it; a signal ignored when
// velder started stays ignored; a terminal that has gone ends the input.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include "harness.h"

namespace {

// Reads the terminal until it shows text; false on a time-out or its end.
bool Wait_For(int master, std::string& shown, const std::string& text) {
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (shown.find(text) == std::string::npos) {
    if (std::chrono::steady_clock::now() > until) return false;
    pollfd p = {master, POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) continue;
    char buf[4096];
    ssize_t k = read(master, buf, sizeof buf);
    if (k <= 0) return false;
    shown.append(buf, static_cast<std::size_t>(k));
  }
  return true;
}

const tcflag_t MODE = ICANON | ECHO;

class SignalDuringPause : public testing::TestWithParam<int> {};

TEST_P(SignalDuringPause, RestoresLineModeAndEcho) {
  int sig = GetParam();
  Temp_Dir d;
  int master = -1;
  pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    if (chdir(d.path().c_str()) != 0) _exit(126);
    setenv("TERM", "xterm", 1);
    execl(VELDER_BIN, VELDER_BIN, static_cast<char*>(nullptr));
    _exit(127);
  }
  std::string shown;
  ASSERT_TRUE(Wait_For(master, shown, "4. 保存信息并退出\r\n\r\n")) << shown;
  // On Linux the master reports the mode of the terminal's program side.
  termios before{};
  ASSERT_EQ(tcgetattr(master, &before), 0);
  EXPECT_EQ(before.c_lflag & MODE, MODE);
  // The settings menu, then the About screen, which ends with the pause.
  ASSERT_EQ(write(master, "3\r", 2), 2);
  ASSERT_TRUE(Wait_For(master, shown, "5. 返回\r\n\r\n")) << shown;
  ASSERT_EQ(write(master, "4\r", 2), 2);
  ASSERT_TRUE(Wait_For(master, shown, PAUSE_PROMPT)) << shown;
  termios raw{};
  ASSERT_EQ(tcgetattr(master, &raw), 0);
  EXPECT_EQ(raw.c_lflag & MODE, 0u) << "the pause waits with echo and line mode off";

  kill(pid, sig);
  int st = 0;
  waitpid(pid, &st, 0);
  EXPECT_TRUE(WIFSIGNALED(st) && WTERMSIG(st) == sig) << st;
  termios after{};
  ASSERT_EQ(tcgetattr(master, &after), 0);
  EXPECT_EQ(after.c_lflag, before.c_lflag);
  EXPECT_EQ(after.c_lflag & MODE, MODE);
  EXPECT_EQ(std::memcmp(after.c_cc, before.c_cc, sizeof after.c_cc), 0);
  close(master);
}

INSTANTIATE_TEST_SUITE_P(Signals, SignalDuringPause, testing::Values(SIGINT, SIGTERM, SIGHUP),
                         [](const testing::TestParamInfo<int>& i) {
                           return std::string(sigabbrev_np(i.param));
                         });

// velder on a new pseudo-terminal, SIGHUP ignored as nohup leaves it.
pid_t Start_Ignoring_Hangup(const Temp_Dir& d, int& master) {
  pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
  if (pid == 0) {
    if (chdir(d.path().c_str()) != 0) _exit(126);
    setenv("TERM", "xterm", 1);
    signal(SIGHUP, SIG_IGN);
    execl(VELDER_BIN, VELDER_BIN, static_cast<char*>(nullptr));
    _exit(127);
  }
  return pid;
}

// Waits up to a minute for the child; its status, or -1.
int Wait_Exit(pid_t pid) {
  for (int i = 0; i < 600; ++i) {
    int st = 0;
    if (waitpid(pid, &st, WNOHANG) == pid) return st;
    usleep(100000);
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  return -1;
}

TEST(IgnoredSignals, HangUpStaysIgnoredAtThePause) {
  Temp_Dir d;
  int master = -1;
  pid_t pid = Start_Ignoring_Hangup(d, master);
  ASSERT_GE(pid, 0);
  std::string shown;
  ASSERT_TRUE(Wait_For(master, shown, "4. 保存信息并退出\r\n\r\n")) << shown;
  ASSERT_EQ(write(master, "3\r", 2), 2);
  ASSERT_TRUE(Wait_For(master, shown, "5. 返回\r\n\r\n")) << shown;
  ASSERT_EQ(write(master, "4\r", 2), 2);
  ASSERT_TRUE(Wait_For(master, shown, PAUSE_PROMPT)) << shown;
  kill(pid, SIGHUP);
  usleep(300000);
  int st = 0;
  EXPECT_EQ(waitpid(pid, &st, WNOHANG), 0) << "ended by an ignored SIGHUP";
  termios raw{};
  ASSERT_EQ(tcgetattr(master, &raw), 0);
  EXPECT_EQ(raw.c_lflag & MODE, 0u) << "still waiting for the key";
  ASSERT_EQ(write(master, "x", 1), 1);
  std::string after;
  ASSERT_TRUE(Wait_For(master, after, "5. 返回\r\n\r\n")) << after;
  kill(pid, SIGTERM);
  st = Wait_Exit(pid);
  EXPECT_TRUE(WIFSIGNALED(st) && WTERMSIG(st) == SIGTERM) << st;
  close(master);
}

// The terminal goes away (its window closed) while SIGHUP is ignored:
// reads fail, and that is the end of the input, not an empty line.
TEST(IgnoredSignals, TerminalThatHasGoneEndsTheInput) {
  Temp_Dir d;
  Write_File_Bytes(d / "velder_data.sg", "/old/g++\r\n\r\n");
  int master = -1;
  pid_t pid = Start_Ignoring_Hangup(d, master);
  ASSERT_GE(pid, 0);
  std::string shown;
  ASSERT_TRUE(Wait_For(master, shown, "4. 保存信息并退出\r\n\r\n")) << shown;
  close(master);
  int st = Wait_Exit(pid);
  EXPECT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 1) << st;
  EXPECT_EQ(Read_File_Bytes(d / "velder_data.sg"), "/old/g++\r\n\r\n");
}

}  // namespace
