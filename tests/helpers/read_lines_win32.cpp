// Reads standard input line by line through velder's reader and prints
// each line as hexadecimal bytes, so that what a console delivered can be
// checked whatever the console does to text on its way out; "end" once
// the input has ended or after the number of lines given as argument. A
// prompt "> " before each read tells a driving
// terminal (which may see only ">": a console can draw the space
// as a cursor move) that the console is ready for the next line.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/console.h"
#include "platform/input.h"

int main(int argc, char** argv) {
  platform::Init_Console();
  long left = argc > 1 ? std::strtol(argv[1], nullptr, 10) : -1;
  std::string s;
  for (; left != 0; --left) {
    std::fputs("> ", stdout);
    std::fflush(stdout);
    if (!platform::Read_Line(s)) break;
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
