#include <windows.h>

#include <cstring>
#include <iostream>
#include <string>

#include "platform/input.h"
#include "platform/Windows/hangup.h"
#include "platform/Windows/utf16.h"

namespace platform {

namespace {

HANDLE Stdin() { return GetStdHandle(STD_INPUT_HANDLE); }

bool Is_Console() {
  DWORD mode;
  return GetConsoleMode(Stdin(), &mode) != 0;
}

// Byte reads from a console in code page 65001 lose non-ASCII text on
// many Windows versions, so a console is read as UTF-16 and converted.
// A surrogate pair split across two reads is kept until its second half.
long Read_Console(char* buf, std::size_t n) {
  static std::string spill;
  static std::wstring half;
  while (spill.empty()) {
    wchar_t w[1024];
    DWORD got = 0;
    BOOL ok;
    {
      Waiting_For_Input wait;
      ok = ReadConsoleW(Stdin(), w, 1024, &got, nullptr);
    }
    if (!ok) return -1;
    if (got == 0) return 0;
    std::wstring text = half + std::wstring(w, got);
    half.clear();
    if (text.back() >= 0xD800 && text.back() <= 0xDBFF) {
      half = text.back();
      text.pop_back();
    }
    // Ctrl+Z at the start of a line ends console input, as for cmd.exe.
    if (text.size() >= 1 && text[0] == 0x1A) return 0;
    spill = To_Utf8(text);
  }
  std::size_t k = spill.size() < n ? spill.size() : n;
  std::memcpy(buf, spill.data(), k);
  spill.erase(0, k);
  return static_cast<long>(k);
}

}  // namespace

long Read_Raw(char* buf, std::size_t n) {
  if (Is_Console()) return Read_Console(buf, n);
  DWORD got = 0;
  BOOL ok;
  {
    Waiting_For_Input wait;
    ok = ReadFile(Stdin(), buf, static_cast<DWORD>(n), &got, nullptr);
  }
  if (!ok) {
    // A pipe whose writer has gone is the end of input.
    return GetLastError() == ERROR_BROKEN_PIPE ? 0 : -1;
  }
  return static_cast<long>(got);
}

bool Stdin_Is_Terminal() { return Is_Console(); }

std::string Prompt_For_Key(std::string text) {
  std::cout << text << std::flush;
  if (!Is_Console()) {
    char c;
    if (Take_Buffered_Byte(c) || Read_Raw(&c, 1) == 1) return std::string(1, c);
    return std::string();
  }
  // A console delivers a key press as one event, whatever bytes it would
  // make: nothing of it is left for the next read.
  for (;;) {
    INPUT_RECORD r;
    DWORD got = 0;
    BOOL ok;
    {
      Waiting_For_Input wait;
      ok = ReadConsoleInputW(Stdin(), &r, 1, &got);
    }
    if (!ok || got == 0) return std::string();
    if (r.EventType != KEY_EVENT || !r.Event.KeyEvent.bKeyDown) continue;
    WORD key = r.Event.KeyEvent.wVirtualKeyCode;
    // Shift, Ctrl, Alt, the Windows keys and the lock keys alone are no key.
    if (key == VK_SHIFT || key == VK_CONTROL || key == VK_MENU || key == VK_CAPITAL ||
        key == VK_NUMLOCK || key == VK_SCROLL || key == VK_LWIN || key == VK_RWIN)
      continue;
    if (key == VK_RETURN) return "\r";
    wchar_t ch = r.Event.KeyEvent.uChar.UnicodeChar;
    return ch != 0 ? To_Utf8(std::wstring(1, ch)) : std::string("\x1b");
  }
}

}  // namespace platform
