// Reads standard input line by line through velder's reader and prints
// each line as hexadecimal bytes, so that what a console delivered can be
// checked whatever the console does to text on its way out; "end" once
// the input has ended.
#include <cstdio>
#include <string>

#include "platform/console.h"
#include "platform/input.h"

int main() {
  platform::Init_Console();
  std::string s;
  while (platform::Read_Line(s)) {
    std::string hex = "[";
    char b[4];
    for (unsigned char c : s) {
      std::snprintf(b, sizeof b, "%02x", c);
      hex += b;
    }
    std::fputs((hex + "]\n").c_str(), stdout);
    std::fflush(stdout);
  }
  std::fputs("end\n", stdout);
  platform::End_Console();
  return 0;
}
