// velder-pauser on its own: the program's arguments reach it untouched,
// the report line, the pause, and the pauser's exit status.
#include <cstdlib>
#include <regex>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "harness.h"

namespace {

const std::string RULE = "\n" + std::string(40, '-') + "\n";

Options Pauser(const Temp_Dir& d, std::vector<std::string> args) {
  Options o = In(d.path());
  o.program = PAUSER_BIN;
  o.args = args;
  return o;
}

// The time in the report, and the report with that time made fixed.
double Seconds_In(const std::string& out) {
  std::smatch m;
  std::regex re("用时 ([0-9]+\\.[0-9]{3}) 秒");
  return std::regex_search(out, m, re) ? std::atof(m[1].str().c_str()) : -1;
}
std::string Fixed_Time(const std::string& s) {
  return std::regex_replace(s, std::regex("用时 [0-9]+\\.[0-9]{3} 秒"), "用时 T 秒");
}

TEST(Pauser, RunsTheProgramWithItsArgumentsAsGiven) {
  Temp_Dir d;
  Options o = Pauser(d, {Helper("greeter"), "a b", "$(touch x)", "; `y` &", "", "\\\"q"});
  o.env = {{"GREETER_STATUS", "3"}};
  Result r = Run_Piped(o, "");
  EXPECT_EQ(Fixed_Time(r.out), "你好，来自 greeter [a b] [$(touch x)] [; `y` &] [] [\\\"q]\n" + RULE +
                                   "程序已结束，用时 T 秒，返回值为 3。\n" + PAUSE_PROMPT + "\n");
  EXPECT_EQ(r.status, 3);
  EXPECT_FALSE(Exists(d / "x"));
}

TEST(Pauser, ReportsTheWallTime) {
  Temp_Dir d;
  Options o = Pauser(d, {Helper("greeter")});
  o.env = {{"GREETER_SLEEP", "0.4"}};
  Result r = Run_Piped(o, "");
  EXPECT_GE(Seconds_In(r.out), 0.4) << r.out;
  EXPECT_EQ(r.status, 0);
}

TEST(Pauser, ReportsASignal) {
  Temp_Dir d;
  Options o = Pauser(d, {Helper("greeter")});
  o.env = {{"GREETER_ABORT", "1"}};
  Result r = Run_Piped(o, "");
  EXPECT_EQ(Fixed_Time(r.out), "你好，来自 greeter\n" + RULE +
                                   "程序被信号 6（SIGABRT，程序中止）终止，用时 T 秒。\n" +
                                   PAUSE_PROMPT + "\n");
  EXPECT_EQ(r.status, 134);
}

TEST(Pauser, FindsABareNameInTheWorkingDirectoryFirst) {
  Temp_Dir d;
  Write_File_Bytes(d / "hello.exe", Read_File_Bytes(Helper("greeter")));
  chmod((d / "hello.exe").c_str(), 0755);
  Result r = Run_Piped(Pauser(d, {"hello.exe", "x"}), "");
  EXPECT_EQ(r.out.find("你好，来自 greeter [x]\n"), 0u) << r.out;
  EXPECT_EQ(Read_File_Bytes(d / "greeter.log"), "cwd=" + d.path() + "\n[hello.exe][x]\n");
  EXPECT_EQ(r.status, 0);
}

TEST(Pauser, AProgramThatCannotStart) {
  Temp_Dir d;
  Write_File_Bytes(d / "text.exe", "not a program\n");
  struct Case {
    std::string program, why;
  };
  for (const Case& c : {Case{"no-such-program", "找不到该程序。"},
                        Case{d / "missing.exe", "找不到该程序。"},
                        Case{d / "text.exe", "没有执行权限，或它不是文件。"},
                        Case{d.path(), "没有执行权限，或它不是文件。"}}) {
    Result r = Run_Piped(Pauser(d, {c.program}), "");
    EXPECT_EQ(r.out, RULE + "无法启动程序“" + c.program + "”：" + c.why + "\n" + PAUSE_PROMPT + "\n");
    EXPECT_EQ(r.status, 127) << c.program;
  }
  chmod((d / "text.exe").c_str(), 0755);  // executable, but no known format
  Result r = Run_Piped(Pauser(d, {d / "text.exe"}), "");
  EXPECT_NE(r.out.find("：它不是可执行的程序。\n"), std::string::npos) << r.out;
  EXPECT_EQ(r.status, 127);
}

TEST(Pauser, WithoutAProgramItSaysHowToCallIt) {
  Temp_Dir d;
  Result r = Run_Piped(Pauser(d, {}), "");
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "用法：velder-pauser 程序 [参数……]\n");
  EXPECT_EQ(r.status, 2);
}

TEST(Pauser, OnATerminalItWaitsForOneKey) {
  Temp_Dir d;
  Options o = Pauser(d, {Helper("greeter")});
  o.env = {{"TERM", "xterm"}};
  Result r = Run_Pty(o, {{PAUSE_PROMPT, "q"}});
  EXPECT_EQ(Fixed_Time(r.out), Onlcr("你好，来自 greeter\n" + RULE + "程序已结束，用时 T 秒，返回值为 0。\n") +
                                   PAUSE_PROMPT + "\r\n");
  EXPECT_EQ(r.status, 0);
}

}  // namespace
