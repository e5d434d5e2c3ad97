// The POSIX stand-ins for "cmd /c" and "start", through the command layer
// as velder calls it: words, statuses, and where programs are found.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "harness.h"

namespace {

Options Commands(const Temp_Dir& d, std::vector<std::string> lines) {
  Options o = In(d.path());
  o.program = Helper("run_command");
  o.args = lines;
  o.unset = {"TMUX", "DISPLAY", "WAYLAND_DISPLAY"};
  return o;
}

const std::string GREETER = Helper("greeter");

TEST(CmdC, QuoteRuleThenWordsThenTheExitStatus) {
  Temp_Dir d;
  Options o = Commands(d, {"cmd /c\"\"" + GREETER + "\" -a \"b c\" $x;y `z` \"\"\"",
                           "cmd /c  \t\"\"" + GREETER + "\" 1\""});
  o.env = {{"GREETER_STATUS", "7"}};
  Result r = Run_Piped(o, "");
  EXPECT_EQ(r.out, "你好，来自 greeter [-a] [b c] [$x;y] [`z`] []\n你好，来自 greeter [1]\n");
  EXPECT_EQ(r.status, 7);
}

TEST(CmdC, SignalsAndProgramsThatCannotStart) {
  Temp_Dir d;
  Options o = Commands(d, {"cmd /c\"" + GREETER + "\""});
  o.env = {{"GREETER_ABORT", "1"}};
  EXPECT_EQ(Run_Piped(o, "").status, 134);
  for (std::string line : {"cmd /c\"\"no-such-program\" x\"", "cmd /c", "cmd /c\"\"\"\""}) {
    Result r = Run_Piped(Commands(d, {line}), "");
    EXPECT_EQ(r.status, 127) << line;
    EXPECT_NE(r.err, "") << line;
  }
}

TEST(CmdC, ABareNameInTheWorkingDirectoryIsThatFile) {
  Temp_Dir d;
  Write_File_Bytes(d / "true", Read_File_Bytes(GREETER));
  chmod((d / "true").c_str(), 0755);
  Result r = Run_Piped(Commands(d, {"cmd /c\"\"true\" x\""}), "");
  EXPECT_EQ(r.out, "你好，来自 greeter [x]\n");  // not /usr/bin/true
}

TEST(Start, TitleOnlyWhenTheFirstWordIsQuoted) {
  Temp_Dir d;
  Options o = Commands(d, {"start \"my title\" \"" + GREETER + "\" a", "start " + GREETER + " b \"c d\"",
                           "start \"\" " + GREETER});
  o.env = {{"GREETER_STATUS", "9"}};
  Result r = Run_Piped(o, "");
  // In this terminal: started is 0, whatever the program returned.
  EXPECT_EQ(r.out, "你好，来自 greeter [a]\n你好，来自 greeter [b] [c d]\n你好，来自 greeter\n");
  EXPECT_EQ(r.status, 0);
}

// After the title, the program and its arguments as its runtime would
// split them on Windows; the title keeps its backslashes.
TEST(Start, WordsSplitAsForTheCompileLine) {
  Temp_Dir d;
  Options o = Commands(d, {"start \"C:\\t\\\" \"" + GREETER + "\" \"a\\\"b\" c\\\\d \"e\"\"f\""});
  Result r = Run_Piped(o, "");
  EXPECT_EQ(r.out, "你好，来自 greeter [a\"b] [c\\\\d] [e\"f]\n");
  EXPECT_EQ(r.status, 0);
}

TEST(Start, NothingToStartIsNotZero) {
  Temp_Dir d;
  Write_File_Bytes(d / "plain.exe", "text\n");
  mkdir((d / "dir.exe").c_str(), 0755);
  std::vector<std::string> lines = {"start \"title\"", "start \"t\" missing.exe",
                                    "start \"t\" plain.exe", "start \"t\" dir.exe",
                                    "start \"t\" " + d / "missing"};
  for (std::string line : lines) {
    Result r = Run_Piped(Commands(d, {line}), "");
    EXPECT_NE(r.status, 0) << line;
    EXPECT_NE(r.err, "") << line;
    EXPECT_EQ(r.out, "") << line;
  }
}

}  // namespace
