// The command lines of build and run, byte for byte, and the check
// that a source is UTF-8.
#include <gtest/gtest.h>

#include "build/exe_path.h"
#include "platform/cmd_lines.h"
#include "build/encoding.h"
#include "platform/files.h"

namespace {

using platform::Compile_Command;
using platform::Direct_Launch_Command;
using platform::Pauser_Launch_Command;

TEST(BuildCommands, CompileLines) {
  EXPECT_EQ(Compile_Command("D:\\tools\\bin\\g++.exe", "-O2 -Wall", "D:\\work\\hello.exe",
                            "D:\\work\\hello.cpp"),
            "cmd /c\"\"D:\\tools\\bin\\g++.exe\" -O2 -Wall -g -o \"D:\\work\\hello.exe\" "
            "\"D:\\work\\hello.cpp\"\"");
  // No options: exactly one space before "-g -o ".
  EXPECT_EQ(Compile_Command("D:\\tools\\bin\\g++.exe", "", "D:\\work\\hello.exe", "D:\\work\\hello.cpp"),
            "cmd /c\"\"D:\\tools\\bin\\g++.exe\" -g -o \"D:\\work\\hello.exe\" \"D:\\work\\hello.cpp\"\"");
  // Options go in as stored, spaces and all.
  EXPECT_EQ(Compile_Command("g", " -x ", "a.exe", "a.cpp"), "cmd /c\"\"g\"  -x  -g -o \"a.exe\" \"a.cpp\"\"");
}

// A path the compiler would take for an option gets "./" in front; the
// compiler, the options and every other byte stay as they were.
TEST(BuildCommands, PathsThatBeginWithADash) {
  std::string dot = "." + platform::Separator();
  EXPECT_EQ(Compile_Command("g", "-O2", "-test.exe", "-test.cpp"),
            "cmd /c\"\"g\" -O2 -g -o \"" + dot + "-test.exe\" \"" + dot + "-test.cpp\"\"");
  EXPECT_EQ(Compile_Command("-g++", "", "a-b.exe", "d/-x.cpp"),
            "cmd /c\"\"-g++\" -g -o \"a-b.exe\" \"d/-x.cpp\"\"");
}

TEST(BuildCommands, LaunchLines) {
  EXPECT_EQ(Pauser_Launch_Command("D:\\tools\\ConsolePauser.exe", "D:\\work\\hello.exe"),
            "start \"\" \"D:\\tools\\ConsolePauser.exe\" \"D:\\work\\hello.exe\"");
  EXPECT_EQ(Direct_Launch_Command("D:\\work\\hello.cpp", "D:\\work\\hello.exe"),
            "start \"D:\\work\\hello.cpp\" \"D:\\work\\hello.exe\"");
}

TEST(BuildCommands, ExecutableReplacesTheLastFourBytes) {
  EXPECT_EQ(Exe_Path("D:\\work\\hello.cpp"), "D:\\work\\hello.exe");
  EXPECT_EQ(Exe_Path("D:\\work\\Hello.CPP"), "D:\\work\\Hello.exe");
  EXPECT_EQ(Exe_Path("a.b/c d.Cpp"), "a.b/c d.exe");
  EXPECT_EQ(Exe_Path("你好.cpp"), "你好.exe");
  EXPECT_EQ(Exe_Path(".cpp"), ".exe");
}

// Each text checked whole and cut in two at every byte, as the pieces
// of a file may cut it.
TEST(SourceEncoding, Utf8ByTheTable) {
  struct Case {
    std::string text;
    bool valid;
  };
  const Case cases[] = {
      {"", true},
      {"int main() {}\n", true},
      {"\xef\xbb\xbf// 你好", true},               // byte order mark
      {"\xc2\x80 \xdf\xbf", true},                 // U+0080, U+07FF
      {"\xe0\xa0\x80 \xed\x9f\xbf \xee\x80\x80", true},  // U+0800, U+D7FF, U+E000
      {"\xf0\x90\x80\x80 \xf4\x8f\xbf\xbf", true},      // U+10000, U+10FFFF
      {"\xc4\xe3\xba\xc3", false},                 // 你好 in GBK
      {"\x80", false},                                // stray continuation
      {"\xc0\xaf", false},                           // overlong "/"
      {"\xc1\xbf", false},
      {"\xe0\x9f\xbf", false},                      // overlong U+07FF
      {"\xf0\x8f\xbf\xbf", false},                 // overlong U+FFFF
      {"\xed\xa0\x80", false},                      // surrogate U+D800
      {"\xed\xbf\xbf", false},                      // surrogate U+DFFF
      {"\xf4\x90\x80\x80", false},                 // past U+10FFFF
      {"\xf5\x80\x80\x80", false},
      {"\xff", false},
      {"a\xe4\xbd", false},                          // cut short at the end
      {"\xe4\xbd\xa0\xe4", false},
      {"\xe4" "a\xa0", false},                          // continuation missing
  };
  for (const Case& c : cases) {
    for (std::size_t cut = 0; cut <= c.text.size(); ++cut) {
      Utf8_Check check;
      Check_Utf8(check, c.text.data(), cut);
      Check_Utf8(check, c.text.data() + cut, c.text.size() - cut);
      EXPECT_EQ(Valid_Utf8(check), c.valid) << testing::PrintToString(c.text) << " cut at " << cut;
    }
  }
}

}  // namespace
