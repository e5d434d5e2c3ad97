// The choice rules and the line reader that feeds them. The first byte
// chooses members 0 to 7 of the allowed set, the next four one more
// member; the rest is standard input, read line by line as Read_Pint
// reads it, and each line is judged against the rules as stated:
// a non-digit gives the digit message, more than 9 digits the range
// message, otherwise the value is accepted exactly when it is a member.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <unordered_set>
#include <vector>

#include "console/console.h"
#include "fuzz_check.h"
#include "platform/input.h"

namespace {

const std::string DIGIT = "输入不是自然数，请重新输入。";
const std::string RANGE = "输入不在给定范围内，请重新输入。";

// The lines a reader of text input sees: up to each LF, a CR before the LF
// dropped; a last line without LF still counts.
std::vector<std::string> Expected_Lines(const std::string& in) {
  std::vector<std::string> lines;
  std::size_t from = 0;
  for (;;) {
    std::size_t lf = in.find('\n', from);
    if (lf == std::string::npos) break;
    std::string l = in.substr(from, lf - from);
    if (!l.empty() && l.back() == '\r') l.pop_back();
    lines.push_back(l);
    from = lf + 1;
  }
  if (from < in.size()) lines.push_back(in.substr(from));
  return lines;
}

void Check_Line(const std::string& s, const std::unordered_set<int>& a) {
  Choice c = Check_Choice(s, a);
  bool digits = std::all_of(s.begin(), s.end(), [](char ch) { return ch >= '0' && ch <= '9'; });
  if (!digits) {
    Check(c.message == DIGIT, "a non-digit gets the digit message");
  } else if (s.size() > 9) {
    Check(c.message == RANGE, "more than 9 digits get the range message");
  } else {
    long long v = s.empty() ? 0 : std::strtoll(s.c_str(), nullptr, 10);
    if (a.count(static_cast<int>(v))) {
      Check(c.message.empty() && c.ans == v, "a member is accepted with its value");
    } else {
      Check(c.message == RANGE, "a non-member gets the range message");
    }
  }
}

// Standard input becomes the bytes in, from a memory file.
void Feed_Stdin(const std::string& in) {
  static int fd = memfd_create("stdin", 0);
  Check(fd >= 0 && ftruncate(fd, 0) == 0, "memfd");
  std::size_t done = 0;
  while (done < in.size()) {
    ssize_t k = pwrite(fd, in.data() + done, in.size() - done, static_cast<off_t>(done));
    Check(k > 0, "pwrite");
    done += static_cast<std::size_t>(k);
  }
  lseek(fd, 0, SEEK_SET);
  dup2(fd, 0);
  platform::Reset_Input();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 5) return 0;
  std::unordered_set<int> a;
  for (int i = 0; i < 8; ++i)
    if (data[0] & (1u << i)) a.insert(i);
  std::uint32_t extra = static_cast<std::uint32_t>(data[1]) | static_cast<std::uint32_t>(data[2]) << 8 |
                        static_cast<std::uint32_t>(data[3]) << 16 |
                        static_cast<std::uint32_t>(data[4]) << 24;
  a.insert(static_cast<int>(extra % 1000000000u));
  std::string in(reinterpret_cast<const char*>(data) + 5, size - 5);

  Feed_Stdin(in);
  std::vector<std::string> got;
  std::string s;
  while (platform::Read_Line(s)) got.push_back(s);
  Check(s.empty(), "the line is empty at the end of input");
  Check(got == Expected_Lines(in), "the lines read are the lines of the input");
  for (const std::string& l : got) Check_Line(l, a);
  return 0;
}
