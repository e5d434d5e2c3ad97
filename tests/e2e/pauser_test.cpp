// velder-pauser on its own: the program's arguments reach it untouched,
// the report line, the pause, and the pauser's exit status.
#include <cstdio>
#include <csignal>
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

TEST(Pauser, RunsTheProgramWithItsArgumentsAsGiven) {
  Temp_Dir d;
  Options o = Pauser(d, {Helper("greeter"), "a b", "$(touch x)", "; `y` &", "", "\\\"q"});
  o.env = {{"GREETER_STATUS", "3"}};
  Result r = Run_Piped(o, "");
  EXPECT_EQ(Fixed_Figures(r.out), "你好，来自 greeter [a b] [$(touch x)] [; `y` &] [] [\\\"q]\n" +
                                      RULE + "程序已结束，返回值为 3。" +
                                      std::string(PAUSER_FIGURES) + "\n" + PAUSE_PROMPT + "\n");
  EXPECT_EQ(r.status, 3);
  EXPECT_FALSE(Exists(d / "x"));
}

// Lower bounds only: a loaded machine makes every figure larger.
TEST(Pauser, ReportsTheTimeTheCpuTimeAndThePeakMemory) {
  Temp_Dir d;
  Options o = Pauser(d, {Helper("greeter")});
  o.env = {{"GREETER_SLEEP", "0.4"}};
  Result r = Run_Piped(o, "");
  Pauser_Figures sleeping = Figures_In(r.out);
  EXPECT_GE(sleeping.seconds, 0.4) << r.out;
  EXPECT_GE(sleeping.cpu, 0) << r.out;
  EXPECT_GT(sleeping.mib, 0) << r.out;
  EXPECT_EQ(r.status, 0);

  o.env = {{"GREETER_BUSY", "0.5"}};
  r = Run_Piped(o, "");
  Pauser_Figures busy = Figures_In(r.out);
  EXPECT_GE(busy.cpu, 0.5) << r.out;
  EXPECT_GE(busy.seconds, 0.5) << r.out;

  o.env = {{"GREETER_MEMORY", "128"}};
  r = Run_Piped(o, "");
  EXPECT_GE(Figures_In(r.out).mib, 128) << r.out;
  EXPECT_NE(r.out.find(" MiB。\n"), std::string::npos) << r.out;
}

// The common crashes are named, with their likely cause on a line of its
// own; a signal without a name still reads well.
TEST(Pauser, ReportsACrashWithAHint) {
  Temp_Dir d;
  struct Case {
    std::string variable, value, report;
    int status;
  };
  for (const Case& c :
       {Case{"GREETER_CRASH", "segv",
             "程序被信号 11（SIGSEGV，段错误）终止。" + std::string(PAUSER_FIGURES) +
                 "\n提示：多半是数组越界、空指针、用了已释放的内存，或递归太深。\n",
             139},
        Case{"GREETER_ABORT", "1",
             "程序被信号 6（SIGABRT，程序中止）终止。" + std::string(PAUSER_FIGURES) +
                 "\n提示：多半是 assert 不成立，或有异常没被捕获；原因可能就在上面的输出里。\n",
             134},
        Case{"GREETER_CRASH", "divide",
             "程序被信号 8（SIGFPE，算术错误）终止。" + std::string(PAUSER_FIGURES) +
                 "\n提示：多半是整数除以零，或对零取余。\n",
             136}}) {
    Options o = Pauser(d, {Helper("greeter")});
    o.env = {{c.variable, c.value}};
    Result r = Run_Piped(o, "");
    EXPECT_EQ(Fixed_Figures(r.out), "你好，来自 greeter\n" + RULE + c.report + PAUSE_PROMPT + "\n");
    EXPECT_EQ(r.status, c.status);
  }
  Result r = Run_Piped(Pauser(d, {"/bin/sh", "-c", "kill -USR1 $$"}), "");
  EXPECT_EQ(Fixed_Figures(r.out), RULE + "程序被信号 10 终止。" + std::string(PAUSER_FIGURES) +
                                      "\n" + PAUSE_PROMPT + "\n");
  EXPECT_EQ(r.status, 138);
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

// The program works in its own folder, so that the names it opens mean
// the files beside it, wherever the pauser was started; a command found
// on PATH works where the pauser was started.
TEST(Pauser, RunsTheProgramInItsOwnFolder) {
  Temp_Dir d;
  mkdir((d / "my work").c_str(), 0755);
  Write_File_Bytes(d / "my work/hello", Read_File_Bytes(Helper("greeter")));
  chmod((d / "my work/hello").c_str(), 0755);
  for (std::string name : {std::string("my work/hello"), d / "my work/hello"}) {
    Result r = Run_Piped(Pauser(d, {name, "x"}), "");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(Read_File_Bytes(d / "my work/greeter.log"),
              "cwd=" + d / "my work" + "\n[" + name + "][x]\n");
    std::remove((d / "my work/greeter.log").c_str());
  }
  EXPECT_FALSE(Exists(d / "greeter.log"));
  // A command found on PATH works where the pauser was started.
  Options o = Pauser(d, {"sh", "-c", "pwd"});
  o.env = {{"PATH", "/usr/bin:/bin"}};
  EXPECT_EQ(Run_Piped(o, "").out.find(d.path() + "\n"), 0u);
}

// A CPU-time limit (ulimit -t) is named, soft (SIGXCPU) and hard
// (SIGKILL); SIGKILL's hint names the limit and a kill from outside.
TEST(Pauser, ReportsACpuLimit) {
  Temp_Dir d;
  struct Case {
    std::string ulimit, report;
    int status;
  };
  for (const Case& c :
       {Case{"-S -t 1", "程序被信号 24（SIGXCPU，CPU 时间超限）终止。" + std::string(PAUSER_FIGURES) +
                            "\n提示：程序用完了允许的 CPU 时间（ulimit -t）：多半是死循环，或算法太慢。\n",
             152},
        Case{"-t 1", "程序被信号 9（SIGKILL）终止。" + std::string(PAUSER_FIGURES) +
                         "\n提示：可能是内存用尽而被系统终止，或用到了 CPU 时间的硬限制（ulimit -t），"
                         "也可能是被别的程序终止了（kill -9）。\n",
             137}}) {
    Options o = Pauser(d, {});
    o.program = "/bin/sh";
    o.args = {"-c", "ulimit " + c.ulimit + " && exec \"$0\" \"$@\"", PAUSER_BIN, Helper("greeter")};
    o.env = {{"GREETER_BUSY", "5"}};
    Result r = Run_Piped(o, "");
    EXPECT_EQ(Fixed_Figures(r.out), "你好，来自 greeter\n" + RULE + c.report + PAUSE_PROMPT + "\n");
    EXPECT_EQ(r.status, c.status);
  }
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
  EXPECT_EQ(Fixed_Figures(r.out), "\x1b]0;greeter\a" + Onlcr("你好，来自 greeter\n" + RULE + "程序已结束，返回值为 0。" +
                                        std::string(PAUSER_FIGURES) + "\n") +
                                      PAUSE_PROMPT + "\r\n");
  EXPECT_EQ(r.status, 0);
}

// Keys typed while the program ran (it read none) are dropped: the pause
// waits for a key pressed after the report. Were they kept, the first of
// them would end the pause at once, long before the delayed "q".
TEST(Pauser, KeysTypedDuringTheRunDoNotEndThePause) {
  Temp_Dir d;
  Options o = Pauser(d, {Helper("greeter")});
  o.env = {{"TERM", "xterm"}, {"GREETER_SLEEP", "1"}};
  Result r = Run_Pty(o, {{"你好，来自 greeter\r\n", "abc\r"}, {PAUSE_PROMPT, "q", true, 1.5}});
  EXPECT_GE(r.seconds, 2.5) << r.out;
  EXPECT_EQ(Fixed_Figures(r.out), "\x1b]0;greeter\a" + Onlcr("你好，来自 greeter\nabc\n" + RULE +
                                        "程序已结束，返回值为 0。" + PAUSER_FIGURES + "\n") +
                                      PAUSE_PROMPT + "\r\n");
  EXPECT_EQ(r.status, 0);
}

// The terminal's title names the program, once, before it runs; never
// on a terminal without escape sequences, and never with the controls a
// file name may hold, which would reach the terminal as sequences of
// their own.
TEST(Pauser, TitlesTheTerminalWithTheProgramsFileName) {
  struct Case {
    std::string name, term, title;
  } cases[] = {{"你好 prog", "xterm", "\x1b]0;你好 prog\a"},
               {"a\x1b]2;x\x07" "b\xc2\x9b" "c", "xterm-256color", "\x1b]0;a]2;xbc\a"},
               {"prog", "dumb", ""}};
  for (const Case& c : cases) {
    Temp_Dir d;
    Write_File_Bytes(d / c.name, Read_File_Bytes(Helper("greeter")));
    chmod((d / c.name).c_str(), 0755);
    Options o = Pauser(d, {d / c.name});
    o.env = {{"TERM", c.term}};
    Result r = Run_Pty(o, {{PAUSE_PROMPT, "q"}});
    EXPECT_EQ(r.out.substr(0, r.out.find("你好，来自")), c.title) << c.term;
  }
}

}  // namespace

namespace {

const std::string KEYS = "按 Enter 键用键盘输入再运行一次，按其他键结束……\n";
const std::string AGAIN = "程序将再运行一次，从键盘读入；要结束输入，请在一行的开头按 Ctrl+D。\n";

// The greeter as prog in a folder of its own, with sample cases beside it.
struct Cases {
  Temp_Dir d;
  std::string work = d / "my work";
  explicit Cases(std::vector<std::pair<std::string, std::string>> files) {
    mkdir(work.c_str(), 0755);
    Write_File_Bytes(work + "/prog", Read_File_Bytes(Helper("greeter")));
    chmod((work + "/prog").c_str(), 0755);
    for (const auto& f : files) Write_File_Bytes(work + "/" + f.first, f.second);
  }
  Result Run(std::vector<std::pair<std::string, std::string>> env, std::string input = "") {
    Options o = Pauser(d, {"my work/prog"});
    o.env = env;
    return Run_Piped(o, input);
  }
};

// Correct, wrong, white space only and no answer, read from standard
// input and from the files of freopen; a freopen of other names writes
// nothing that is judged, and the hint says so.
TEST(PauserJudge, JudgesTheSampleCases) {
  Cases c({{"prog.in", "1 2\n"},
           {"prog.ans", "1 2\r\n\r\n"},
           {"prog1.in", "1 2\n"},
           {"prog1.out", "1 3\n"},
           {"prog_2.IN", "1  2\n"},
           {"prog_2.ans", "1 2\n"},
           {"prog3.in", "三\n"},
           {"prog.out", "not an answer\n"}});
  std::string judged = std::string("找到 4 组样例，逐一运行并评测（每组 CPU 时间限 1 秒）：\n") +
                       "样例 1（prog.in）：正确。" + CASE_FIGURES + "\n" +
                       "样例 2（prog1.in）：答案错误。" + CASE_FIGURES +
                       "\n  第 1 行\n  期望：1 3\n  实际：1 2\n" +
                       "样例 3（prog_2.IN）：格式不同。" + CASE_FIGURES +
                       "\n  第 1 行\n  期望：1 2\n  实际：1  2\n" +
                       "样例 4（prog3.in）：没有答案，输出如下。" + CASE_FIGURES + "\n三\n" +
                       RULE.substr(1) + "4 组样例：1 组正确，1 组答案错误，1 组格式不同，1 组没有答案\n" +
                       KEYS;
  for (bool freopen : {false, true}) {
    Result r = freopen ? c.Run({{"GREETER_ECHO", "1"}, {"GREETER_FREOPEN", "prog"}})
                       : c.Run({{"GREETER_ECHO", "1"}});
    EXPECT_EQ(Fixed_Case_Figures(r.out), judged) << freopen;
    EXPECT_EQ(r.status, 1);
  }
  EXPECT_EQ(Read_File_Bytes(c.work + "/prog.out"), "not an answer\n");
  EXPECT_FALSE(Exists(c.work + "/greeter.log"));

  Result r = c.Run({{"GREETER_ECHO", "1"}, {"GREETER_FREOPEN", "other"}});
  EXPECT_NE(Fixed_Case_Figures(r.out).find(
                "样例 1（prog.in）：答案错误。" + std::string(CASE_FIGURES) +
                "\n  第 1 行\n  期望：1 2\n  实际：（没有这一行）\n"
                "  提示：程序没有输出。若用 freopen 读写文件，文件名须是 prog.in 和 prog.out。\n"),
            std::string::npos)
      << r.out;
}

// A crash, a time-out (CPU time and wall time) and too much output, each
// ended and named; then Enter runs the program on the keyboard, in its
// own folder.
TEST(PauserJudge, CrashTimeOutAndTooMuchOutput) {
  Cases c({{"prog.in", ""}, {"prog.ans", "你好，来自 greeter\n"}});
  struct Case {
    std::string variable, value, verdict, detail, lines;
  };
  for (const Case& k :
       {Case{"GREETER_CRASH", "segv", "运行错误", "",
             "  程序被信号 11（SIGSEGV，段错误）终止。\n"
             "  提示：多半是数组越界、空指针、用了已释放的内存，或递归太深。\n"},
        Case{"GREETER_BUSY", "30", "超时", "（CPU 时间超过 1 秒）", ""},
        Case{"GREETER_SLEEP", "30", "超时", "（运行 10 秒仍未结束，已终止）", ""},
        Case{"GREETER_FLOOD", "200", "输出过多", "（超过 1.0 MiB，已终止）", ""}}) {
    Result r = c.Run({{k.variable, k.value}});
    EXPECT_EQ(Fixed_Case_Figures(k.variable == "GREETER_BUSY" ? Busy_As_Cpu(r.out) : r.out),
              "找到 1 组样例，逐一运行并评测（每组 CPU 时间限 1 秒）：\n样例 1（prog.in）：" + k.verdict +
                  k.detail + "。" + CASE_FIGURES + "\n" + k.lines + RULE.substr(1) +
                  "1 组样例：1 组" + k.verdict + "\n" + KEYS)
        << k.variable;
    EXPECT_EQ(r.status, 1);
  }
  Result r = c.Run({}, "\n");
  EXPECT_EQ(Fixed_Case_Figures(r.out),
            "找到 1 组样例，逐一运行并评测（每组 CPU 时间限 1 秒）：\n样例 1（prog.in）：正确。" +
                std::string(CASE_FIGURES) + "\n" + RULE.substr(1) + "1 组样例：1 组正确\n" + KEYS +
                AGAIN + "你好，来自 greeter\n" + RULE + "程序已结束，返回值为 0。" + PAUSER_FIGURES + "\n" +
                PAUSE_PROMPT + "\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(Read_File_Bytes(c.work + "/greeter.log"), "cwd=" + c.work + "\n[my work/prog]\n");
}

}  // namespace

namespace {

// On a terminal the key is read at once, not echoed: Enter runs the
// program again, any other key (Ctrl+C too) ends the window.
TEST(PauserJudge, OnATerminalEnterRunsItAgain) {
  Cases c({{"prog.in", ""}, {"prog.ans", "你好，来自 greeter\n"}});
  std::string prompt = KEYS.substr(0, KEYS.size() - 1);
  Options o = Pauser(c.d, {"my work/prog"});
  o.env = {{"TERM", "xterm"}};
  Result r = Run_Pty(o, {{prompt, "\r", true}, {PAUSE_PROMPT, "q", true}});
  EXPECT_NE(r.out.find(prompt + "\r\n" + Onlcr(AGAIN) + "你好，来自 greeter\r\n"), std::string::npos)
      << r.out;
  EXPECT_EQ(r.out.find("\x1b]0;prog\a"), 0u) << r.out;
  EXPECT_EQ(r.status, 0);
  r = Run_Pty(o, {{prompt, "x", true}});
  EXPECT_EQ(r.out.substr(r.out.size() - prompt.size() - 2), prompt + "\r\n") << r.out;
  EXPECT_EQ(r.status, 0);
  // Ctrl+C there ends the pauser as at any pause.
  r = Run_Pty(o, {{prompt, "\x03", true}});
  EXPECT_EQ(r.out.substr(r.out.size() - prompt.size()), prompt) << r.out;
  EXPECT_EQ(r.status, 128 + SIGINT);
}

}  // namespace
