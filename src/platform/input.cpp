#include "platform/input.h"

#include <algorithm>

namespace platform {

namespace {

std::string pending;    // bytes read but not yet handed out
std::size_t start = 0;  // first unused byte of pending
bool ended = false;

// Refills pending; false once the input has ended or failed.
bool Fill() {
  if (ended) return false;
  char buf[4096];
  long n = Read_Raw(buf, sizeof buf);
  if (n <= 0) {
    ended = true;
    return false;
  }
  pending.erase(0, start);
  start = 0;
  pending.append(buf, static_cast<std::size_t>(n));
  return true;
}

const unsigned char ESC = 0x1b;

unsigned char At(const std::string& s, std::size_t i) { return static_cast<unsigned char>(s[i]); }

// The bytes of the UTF-8 character that lead announces; 1 for any other byte.
std::size_t Utf8_Length(unsigned char lead) {
  if (lead >= 0xc2 && lead <= 0xdf) return 2;
  if (lead >= 0xe0 && lead <= 0xef) return 3;
  if (lead >= 0xf0 && lead <= 0xf4) return 4;
  return 1;
}

// A character from `from` on, counted from the start of s.
std::size_t Char_Length(const std::string& s, std::size_t from) {
  std::size_t n = Utf8_Length(At(s, from));
  for (std::size_t i = from + 1; i < from + n; ++i) {
    if (i >= s.size()) return from + n;
    if ((At(s, i) & 0xc0) != 0x80) return i;  // broken: the character ends here
  }
  return from + n;
}

// The parameters and the final byte of ESC [ or ESC O, from `from` on.
// A byte that no sequence holds (a control byte, another ESC, anything
// above 0x7e) means the sequence was cut short before it.
std::size_t Sequence_Length(const std::string& s, std::size_t from) {
  for (std::size_t i = from; i < s.size(); ++i) {
    unsigned char c = At(s, i);
    if (c >= 0x40 && c <= 0x7e) return i + 1;
    if (c < 0x20 || c > 0x7e) return i;
  }
  return s.size() + 1;
}

std::size_t After_Escape(const std::string& s, std::size_t at, bool alt_allowed) {
  if (at + 1 >= s.size()) return at + 2;  // a lone Esc, unless more follows
  unsigned char c = At(s, at + 1);
  // The Linux console's F1 to F5: ESC [ [ A to ESC [ [ E.
  if (c == '[' && at + 2 < s.size() && s[at + 2] == '[') return std::min(s.size() + 1, at + 4);
  if (c == '[' || c == 'O') return Sequence_Length(s, at + 2);
  // Alt and a key: ESC and that key, itself possibly an escape sequence
  // (Alt+arrow on some terminals is ESC ESC [ A).
  if (c == ESC) return alt_allowed ? After_Escape(s, at + 1, false) : at + 1;
  return Char_Length(s, at + 1);
}

}  // namespace

std::size_t Key_Length(const std::string& s) {
  if (At(s, 0) == ESC) return After_Escape(s, 0, true);
  return Char_Length(s, 0);
}

bool Read_Line(std::string& s) {
  s.clear();
  std::size_t scanned = start;
  for (;;) {
    std::size_t lf = pending.find('\n', scanned);
    if (lf != std::string::npos) {
      s.assign(pending, start, lf - start);
      start = lf + 1;
      if (!s.empty() && s.back() == '\r') s.pop_back();
      return true;
    }
    scanned = pending.size();
    std::size_t before = start;
    if (!Fill()) {
      if (pending.size() == start) return false;
      s.assign(pending, start, std::string::npos);
      start = pending.size();
      return true;
    }
    scanned -= before - start;  // Fill moved the unused bytes to the front
  }
}

bool Take_Buffered_Byte(char& c) {
  if (start >= pending.size()) return false;
  c = pending[start++];
  return true;
}

void Reset_Input() {
  pending.clear();
  start = 0;
  ended = false;
}

}  // namespace platform
