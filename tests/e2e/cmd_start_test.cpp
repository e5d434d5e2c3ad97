// The compile and launch requests on POSIX, through the request layer as
// velder makes them: words, statuses, and where programs are found.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "harness.h"

namespace {

// Each request's fields are lines of standard input.
Options Requests(const Temp_Dir& d, std::vector<std::string> names) {
  Options o = In(d.path());
  o.program = Helper("run_command");
  o.args = names;
  o.unset = {"TMUX", "DISPLAY", "WAYLAND_DISPLAY"};
  return o;
}

std::string Lines(std::vector<std::string> fields) {
  std::string s;
  for (const std::string& f : fields) s += f + "\n";
  return s;
}

const std::string GREETER = Helper("greeter");

// The options split as a Windows program's runtime splits them, then
// "-g -o", the executable and the source; the status is the compiler's.
TEST(CompileRequest, OptionsSplitThenThePathsThenTheExitStatus) {
  Temp_Dir d;
  Options o = Requests(d, {"compile", "compile"});
  o.env = {{"GREETER_STATUS", "7"}};
  Result r = Run_Piped(o, Lines({GREETER, "-a \"b c\" $x;y `z` \"\"", "a b.exe", "-s.cpp",  //
                                 GREETER, "", "e", "f"}));
  EXPECT_EQ(r.out,
            "你好，来自 greeter [-a] [b c] [$x;y] [`z`] [] [-g] [-o] [a b.exe] [./-s.cpp]\n"
            "你好，来自 greeter [-g] [-o] [e] [f]\n");
  EXPECT_EQ(r.status, 7);
}

TEST(CompileRequest, SignalsAndCompilersThatCannotStart) {
  Temp_Dir d;
  Options o = Requests(d, {"compile"});
  o.env = {{"GREETER_ABORT", "1"}};
  EXPECT_EQ(Run_Piped(o, Lines({GREETER, "", "e", "f"})).status, 134);
  for (std::string com : {"no-such-program", ""}) {
    Result r = Run_Piped(Requests(d, {"compile"}), Lines({com, "x", "e", "f"}));
    EXPECT_EQ(r.status, 127) << com;
    EXPECT_NE(r.err, "") << com;
  }
}

TEST(CompileRequest, ABareNameInTheWorkingDirectoryIsThatFile) {
  Temp_Dir d;
  Write_File_Bytes(d / "true", Read_File_Bytes(GREETER));
  chmod((d / "true").c_str(), 0755);
  Result r = Run_Piped(Requests(d, {"compile"}), Lines({"true", "x", "e", "f"}));
  EXPECT_EQ(r.out, "你好，来自 greeter [x] [-g] [-o] [e] [f]\n");  // not /usr/bin/true
}

// In this terminal, with no window to be had: the pauser gets the
// program as its one argument, a direct launch runs the program alone,
// and the status says it started, whatever the program returned.
TEST(LaunchRequest, ThePauserGetsTheProgramThatRunsAlone) {
  Temp_Dir d;
  Options o = Requests(d, {"launch", "launch"});
  o.env = {{"GREETER_STATUS", "9"}};
  Result r = Run_Piped(o, Lines({GREETER, "a \"b\".exe", "t.cpp", "", GREETER, "\"t\".cpp"}));
  EXPECT_EQ(r.out, "你好，来自 greeter [a \"b\".exe]\n你好，来自 greeter\n");
  EXPECT_EQ(r.status, 0);
}

TEST(LaunchRequest, NothingToStartIsNotZero) {
  Temp_Dir d;
  Write_File_Bytes(d / "plain.exe", "text\n");
  mkdir((d / "dir.exe").c_str(), 0755);
  std::vector<std::string> programs = {"", "missing.exe", "plain.exe", "dir.exe", d / "missing"};
  for (std::string p : programs) {
    Result r = Run_Piped(Requests(d, {"launch"}), Lines({"", p, "t.cpp"}));
    EXPECT_NE(r.status, 0) << p;
    EXPECT_NE(r.err, "") << p;
    EXPECT_EQ(r.out, "") << p;
  }
}

}  // namespace
