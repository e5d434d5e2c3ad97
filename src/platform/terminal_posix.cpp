// "cls", "pause" and "title" on a POSIX terminal.
#include <csignal>
#include <cstdio>
#include <iostream>

#include <termios.h>
#include <unistd.h>

#include "platform/console.h"
#include "platform/input.h"
#include "platform/posix_commands.h"

namespace platform {

namespace {

const char PAUSE_PROMPT[] = "请按任意键继续……";

void Write_All(const char* s, std::size_t n) {
  while (n > 0) {
    ssize_t k = write(STDOUT_FILENO, s, n);
    if (k <= 0) return;
    s += k;
    n -= static_cast<std::size_t>(k);
  }
}

// The terminal mode to restore; read by the signal handler, so it is set
// before the handler is installed and never changed while it is.
struct termios saved_mode;
const int PAUSE_SIGNALS[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
struct sigaction saved_actions[4];

extern "C" void Restore_And_Reraise(int sig) {
  tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved_mode);
  signal(sig, SIG_DFL);
  raise(sig);
}

void Guard_Signals() {
  struct sigaction sa {};
  sa.sa_handler = Restore_And_Reraise;
  sigemptyset(&sa.sa_mask);
  for (int i = 0; i < 4; ++i) sigaction(PAUSE_SIGNALS[i], &sa, &saved_actions[i]);
}

void Unguard_Signals() {
  for (int i = 0; i < 4; ++i) sigaction(PAUSE_SIGNALS[i], &saved_actions[i], nullptr);
}

// Shows the prompt and waits for one key, with echo and line mode off.
// The mode is changed before the prompt appears, so that a key pressed
// as soon as it is seen is never echoed.
void Prompt_And_Wait() {
  char c;
  if (Take_Buffered_Byte(c) || tcgetattr(STDIN_FILENO, &saved_mode) != 0) {
    Write_All(PAUSE_PROMPT, sizeof PAUSE_PROMPT - 1);
    return;
  }
  struct termios raw = saved_mode;
  raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  Guard_Signals();
  bool is_raw = tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0;
  Write_All(PAUSE_PROMPT, sizeof PAUSE_PROMPT - 1);
  if (is_raw) {
    Read_Raw(&c, 1);
    tcsetattr(STDIN_FILENO, TCSANOW, &saved_mode);
  }
  Unguard_Signals();
}

}  // namespace

int Clear_Screen() {
  if (Smart_Terminal())
    Write_All("\x1b[H\x1b[2J\x1b[3J", 11);
  else
    Write_All("\f", 1);
  return 0;
}

int Pause_For_Key() {
  if (Stdin_Is_Terminal())
    Prompt_And_Wait();
  else
    Write_All(PAUSE_PROMPT, sizeof PAUSE_PROMPT - 1);
  Write_All("\n", 1);
  return 0;
}

int Set_Title(std::string title) {
  if (!Smart_Terminal()) return 0;
  std::string seq = "\x1b]0;" + title + "\a";
  Write_All(seq.data(), seq.size());
  return 0;
}

}  // namespace platform
