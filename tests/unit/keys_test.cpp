// One key press is one key, however many bytes it sends.
#include <gtest/gtest.h>

#include "platform/input.h"

namespace {

struct Case {
  const char* bytes;  // what has arrived so far
  std::size_t length;  // Key_Length: > the bytes' count while the key goes on
};

TEST(KeyLength, WholeKeysAndKeysThatGoOn) {
  for (Case c : {
           Case{"x", 1}, Case{"\r", 1}, Case{"5\n", 1},
           // Arrows, SS3 and CSI forms; F5 with its parameter; Shift+arrow.
           Case{"\x1b[A", 3}, Case{"\x1bOA", 3}, Case{"\x1b[15~", 5}, Case{"\x1b[1;2A", 6},
           Case{"\x1bOP", 3}, Case{"\x1b[A1\n", 3}, Case{"\x1b[[A", 4}, Case{"\x1b[[Ax", 4},
           // Still going on: a lone Esc waits for what may follow.
           Case{"\x1b", 2}, Case{"\x1b[", 3}, Case{"\x1b[1", 4}, Case{"\x1b[15", 5},
           Case{"\x1bO", 3}, Case{"\x1b[[", 4},
           // Alt and a key; Alt and an arrow as ESC ESC [ A; Alt+Esc.
           Case{"\x1bx", 2}, Case{"\x1b\xe4\xb8\xad", 4}, Case{"\x1b\x1b[A", 4},
           Case{"\x1b\x1b", 3}, Case{"\x1b\x1b\x1b", 2}, Case{"\x1b\xe4", 4},
           // UTF-8: whole, still going on, cut short by a byte of another key.
           Case{"\xc3\xa9", 2}, Case{"\xe4\xb8\xad", 3}, Case{"\xe4\xb8\xad" "1", 3},
           Case{"\xf0\x9f\x98\x80", 4}, Case{"\xe4", 3}, Case{"\xe4\xb8", 3}, Case{"\xf0\x9f", 4},
           Case{"\xe4" "1", 1}, Case{"\xe4\xb8" "1", 2},
           // Bytes that begin no character stand alone.
           Case{"\x80", 1}, Case{"\xff", 1}, Case{"\xc0\x80", 1},
           // A sequence cut short by a control byte or another Esc.
           Case{"\x1b[1\r", 3}, Case{"\x1b[\x1b[A", 2}}) {
    EXPECT_EQ(platform::Key_Length(c.bytes), c.length)
        << testing::PrintToString(std::string(c.bytes));
  }
}

}  // namespace
