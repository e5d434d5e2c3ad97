#include "platform/input.h"

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

}  // namespace

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
