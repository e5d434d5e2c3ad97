// "cls", "pause" and "title" on a POSIX terminal.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>

#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include "platform/console.h"
#include "platform/input.h"
#include "platform/Unix/commands.h"
#include "platform/Unix/tty.h"

namespace platform {

namespace {

const char PAUSE_PROMPT[] = "请按任意键继续……";

void Write_All(const char* s, std::size_t n) { Write_Out(STDOUT_FILENO, s, n); }

// The key wait changes the terminal's mode, and gives it back on every
// way out: the key, a signal that ends the program, and a stop (Ctrl+Z),
// after which the shell must find the terminal as it was. On SIGCONT the
// key wait takes the terminal up again, if it is ours.
//
// Read by the signal handlers, so both modes are set before the handlers
// are installed and not changed while they are.
struct termios found_mode;  // as the pause found it
struct termios key_mode;    // no echo, one key at a time
volatile sig_atomic_t stopped = 0;
const char* prompt = PAUSE_PROMPT;  // shown again after a stop
std::size_t prompt_size = sizeof PAUSE_PROMPT - 1;

const int GUARDED[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGTSTP, SIGCONT};
const int GUARDED_COUNT = sizeof GUARDED / sizeof GUARDED[0];
struct sigaction saved_actions[GUARDED_COUNT];
bool installed[GUARDED_COUNT];

extern "C" void Restore_And_Reraise(int sig) {
  // Stopped or put in the background, velder gave the mode back already,
  // and the terminal now holds the shell's own (line editing): not ours
  // to set.
  if (In_Foreground()) Set_Mode_Quietly(found_mode);
  signal(sig, SIG_DFL);
  raise(sig);  // delivered, and fatal, once the handler returns
}

extern "C" void On_Continue(int) {
  int e = errno;
  // Continued in the background (bg), the terminal is the shell's; the
  // key read then stops on SIGTTIN, and the next fg comes back here.
  if (In_Foreground()) {
    Set_Mode_Quietly(key_mode);
    if (stopped) Write_Out(STDOUT_FILENO, prompt, prompt_size);
    stopped = 0;
  }
  errno = e;
}

extern "C" void On_Stop(int sig) {
  int e = errno;
  Set_Mode_Quietly(found_mode);
  stopped = 1;
  // Stop for real: the default action, let through once SIGTSTP is
  // unblocked. Execution goes on here after SIGCONT (handled first).
  struct sigaction dfl {}, mine;
  dfl.sa_handler = SIG_DFL;
  sigemptyset(&dfl.sa_mask);
  sigaction(sig, &dfl, &mine);
  raise(sig);
  sigset_t s;
  sigemptyset(&s);
  sigaddset(&s, sig);
  sigprocmask(SIG_UNBLOCK, &s, nullptr);
  sigaction(sig, &mine, nullptr);
  // In a process group with no shell to continue it (velder as a window's
  // own program) the kernel discards the stop: no SIGCONT is on its way,
  // and the key wait goes on as it was.
  sigset_t pending;
  if (sigpending(&pending) == 0 && !sigismember(&pending, SIGCONT)) {
    Set_Mode_Quietly(key_mode);
    stopped = 0;
  }
  errno = e;
}

sigset_t Guarded_Set() {
  sigset_t s;
  sigemptyset(&s);
  for (int sig : GUARDED) sigaddset(&s, sig);
  return s;
}

// Signals that were ignored when the program started, or are ignored
// now, are left alone.
void Guard_Signals() {
  for (int i = 0; i < GUARDED_COUNT; ++i) {
    int sig = GUARDED[i];
    struct sigaction now;
    installed[i] = false;
    if (Ignored_At_Start(sig) || sigaction(sig, nullptr, &now) != 0 || now.sa_handler == SIG_IGN)
      continue;
    // A hangup velder saves for ends the key wait like the end of input,
    // which gives the mode back on its way.
    if (sig == SIGHUP && Hangup_Handled()) continue;
    struct sigaction sa {};
    sa.sa_handler = sig == SIGTSTP ? On_Stop : sig == SIGCONT ? On_Continue : Restore_And_Reraise;
    // No handler runs inside another, and none is stopped by SIGTTOU.
    sa.sa_mask = Guarded_Set();
    sigaddset(&sa.sa_mask, SIGTTOU);
    installed[i] = sigaction(sig, &sa, &saved_actions[i]) == 0;
  }
}

void Unguard_Signals() {
  for (int i = 0; i < GUARDED_COUNT; ++i)
    if (installed[i]) sigaction(GUARDED[i], &saved_actions[i], nullptr);
}

// How long the rest of a key may take after its first byte. A terminal
// sends the bytes of one key press (an arrow's ESC [ A, a Chinese
// character's three bytes) in one write, so they are there at once, even
// through a loaded machine or a remote login; only a lone Esc waits this
// long, and a person cannot press a second key within it.
const int KEY_REST_MS = 100;

// One more byte of standard input, if one comes within KEY_REST_MS.
bool Byte_Soon(char& c) {
  pollfd p = {STDIN_FILENO, POLLIN, 0};
  int r;
  do r = poll(&p, 1, KEY_REST_MS);
  while (r < 0 && errno == EINTR);
  return r > 0 && Read_Raw(&c, 1) == 1;
}

// Takes one whole key, its first byte given: the rest from the bytes the
// line reader holds, then from the terminal, so that none of it is left
// to land in front of the next answer.
std::string Take_Rest_Of_Key(char first) {
  std::string key(1, first);
  char c;
  while (Key_Length(key) > key.size() && (Take_Buffered_Byte(c) || Byte_Soon(c))) key += c;
  return key;
}

// Waits for one key and takes it whole; empty at the end of input.
std::string Read_Key() {
  char c;
  return Read_Raw(&c, 1) == 1 ? Take_Rest_Of_Key(c) : std::string();
}

// Shows text and waits for one key, with echo and line mode off. The
// mode is changed before the text appears, so that a key pressed as soon
// as it is seen is never echoed. A key already typed ahead, or no
// terminal to change, takes the key from what the line reader holds.
std::string Prompt_And_Wait(const std::string& text) {
  char c;
  if (Take_Buffered_Byte(c)) {
    Write_All(text.data(), text.size());
    return Take_Rest_Of_Key(c);
  }
  if (tcgetattr(STDIN_FILENO, &found_mode) != 0) {
    Write_All(text.data(), text.size());
    return std::string();
  }
  key_mode = found_mode;
  key_mode.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
  key_mode.c_cc[VMIN] = 1;
  key_mode.c_cc[VTIME] = 0;
  // Nothing is handled until the handlers, the mode and the text agree.
  sigset_t guarded = Guarded_Set(), old;
  sigprocmask(SIG_BLOCK, &guarded, &old);
  stopped = 0;
  prompt = text.c_str();
  prompt_size = text.size();
  Guard_Signals();
  sigprocmask(SIG_SETMASK, &old, nullptr);
  // Started in the background, this stops on SIGTTOU until fg, as any
  // program that sets the terminal's mode does.
  bool is_raw = tcsetattr(STDIN_FILENO, TCSANOW, &key_mode) == 0;
  Write_All(text.data(), text.size());
  std::string key = is_raw ? Read_Key() : std::string();
  sigprocmask(SIG_BLOCK, &guarded, &old);
  if (is_raw) Set_Mode_Quietly(found_mode);
  Unguard_Signals();
  prompt = PAUSE_PROMPT;
  prompt_size = sizeof PAUSE_PROMPT - 1;
  sigprocmask(SIG_SETMASK, &old, nullptr);
  return key;
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
    Prompt_And_Wait(PAUSE_PROMPT);
  else
    Write_All(PAUSE_PROMPT, sizeof PAUSE_PROMPT - 1);
  Write_All("\n", 1);
  return 0;
}

std::string Prompt_For_Key(std::string text) {
  if (Stdin_Is_Terminal()) return Prompt_And_Wait(text);
  Write_All(text.data(), text.size());
  char c;
  if (Take_Buffered_Byte(c) || Read_Raw(&c, 1) == 1) return std::string(1, c);
  return std::string();
}

int Set_Title(std::string title) {
  if (!Smart_Terminal()) return 0;
  std::string seq = "\x1b]0;" + title + "\a";
  Write_All(seq.data(), seq.size());
  return 0;
}

}  // namespace platform
