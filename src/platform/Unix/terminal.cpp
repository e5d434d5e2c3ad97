// The screen clear, the pause and the title on a POSIX terminal.
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
#include "platform/requests.h"
#include "platform/Unix/signals.h"
#include "platform/Unix/tty.h"

namespace platform {

namespace {

const char PAUSE_PROMPT[] = "请按任意键继续……";

void Write_All(const char* s, std::size_t n) { Write_Out(STDOUT_FILENO, s, n); }

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
  Key_Mode_Guard mode(text);
  Write_All(text.data(), text.size());
  return mode.raw() ? Read_Key() : std::string();
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
