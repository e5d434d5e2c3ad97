// velder-pauser.exe under Wine: the program runs in its own folder, even
// at a path past MAX_PATH; exit status 3 gets its hint; sample cases
// beside the program are judged, and Enter runs it once more.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "wine.h"

namespace {

const std::string RULE = std::string(40, '-') + "\n";
const std::string HEAD = "找到 1 组样例，逐一运行并评测（每组 CPU 时间限 1 秒）：\n";
const std::string KEYS = "按 Enter 键用键盘输入再运行一次，按其他键结束……\n";
const std::string AGAIN =
    "程序将再运行一次，从键盘读入；要结束输入，请在一行的开头按 Ctrl+Z 再按 Enter。\n";

// The greeter as prog.exe in a folder of its own, the pauser started
// from another.
struct Window {
  Temp_Dir t;
  std::string work = t / "作业 文件夹", home = t / "home";
  Window() {
    std::filesystem::create_directories(work);
    std::filesystem::create_directories(home);
    std::filesystem::copy_file(Helper("greeter.exe"), work + "/prog.exe");
  }
  Result Run(std::vector<std::pair<std::string, std::string>> env, std::string input = "",
             std::string program = "") {
    Options o = Wine_In(home, std::string(WINE_BUILD) + "/velder-pauser.exe");
    o.args.push_back(Win_Path(program.empty() ? work + "/prog.exe" : program));
    o.env.insert(o.env.end(), env.begin(), env.end());
    return Run_Piped(o, input);
  }
};

TEST(WinePauser, TheProgramRunsInItsOwnFolderEvenPastMaxPath) {
  Window w;
  Result r = w.Run({});
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(Exists(w.work + "/greeter.log"));
  EXPECT_FALSE(Exists(w.home + "/greeter.log"));
  // 300 characters, the folder alone past MAX_PATH.
  auto chars = [](const std::string& s) {
    return std::count_if(s.begin(), s.end(), [](char c) { return (c & 0xC0) != 0x80; });
  };
  std::string deep = w.work + "/" + std::string(90, 'd') + "/" + std::string(90, 'e') + "/目录 ";
  deep += std::string(static_cast<std::size_t>(300 - chars(Win_Path(deep + "/prog.exe"))), 'f');
  ASSERT_EQ(chars(Win_Path(deep + "/prog.exe")), 300);
  std::filesystem::create_directories(deep);
  std::filesystem::copy_file(Helper("greeter.exe"), deep + "/prog.exe");
  r = w.Run({}, "", deep + "/prog.exe");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.out.find(Crlf("你好，来自 greeter\n")), 0u) << r.out;
  // In that folder (by its short name, the one Wine can enter).
  EXPECT_TRUE(Exists(deep + "/greeter.log")) << r.out;
}

TEST(WinePauser, StatusThreeIsAbortOrAnUncaughtException) {
  Window w;
  Result r = w.Run({{"GREETER_STATUS", "3"}});
  EXPECT_EQ(Fixed_Figures(r.out),
            Crlf("你好，来自 greeter\n\n" + RULE + "程序已结束，返回值为 3。" + PAUSER_FIGURES +
                 "\n提示：返回值 3 多半是程序调用了 abort()（如 assert 不成立），或有异常没被捕获；"
                 "原因可能就在上面的输出里。\n") + Pause_Wine());
  EXPECT_EQ(r.status, 3);
}

// velder ends a program still running to build it again: its window
// says so, in place of an exit code that would read as the program's
// own failure.
TEST(WinePauser, AProgramEndedForARebuildSaysSo) {
  Window w;
  Write_File_Bytes(w.work + "/prog.cpp", "int main() {}\n");
  std::string compiler = w.t / "g++.exe";
  std::filesystem::copy_file(Helper("record_args_win32.exe"), compiler);
  Write_File_Bytes(w.home + "/velder_data.sg", Win_Path(compiler) + "\r\n\r\n");
  Options o = Wine_In(w.home, std::string(WINE_BUILD) + "/velder-pauser.exe");
  o.args.push_back(Win_Path(w.work + "/prog.exe"));
  o.env.push_back({"GREETER_SLEEP", "60"});
  Live pauser(o, Input::pipe);
  ASSERT_TRUE(pauser.Wait_For("你好，来自 greeter"));
  Result v = Run_Piped(Wine_In(w.home),
                       "2\r\n" + Win_Path(w.work + "/prog.cpp") + "\r\n1\r\n1\r\n0\r\n4\r\n");
  EXPECT_NE(v.out.find(Crlf("已结束正在运行的程序。\n")), std::string::npos) << v.out;
  pauser.Close_Input();
  Result r = pauser.End();
  EXPECT_LT(r.seconds, 50) << "the program was not ended";
  EXPECT_EQ(Fixed_Figures(r.out), Crlf("你好，来自 greeter\n\n" + RULE +
                                       "程序已被 velder 结束，以便重新编译。" + PAUSER_FIGURES +
                                       "\n") + Pause_Wine());
}

// Correct, wrong, white space only and no answer, read from standard
// input and from the files of freopen; then a freopen of other names.
TEST(WinePauser, JudgesTheSampleCases) {
  Window w;
  for (auto f : std::vector<std::pair<std::string, std::string>>{{"prog.in", "1 2\n"},
                                                                 {"prog.ans", "1 2\r\n\r\n"},
                                                                 {"prog1.in", "1 2\n"},
                                                                 {"prog1.out", "1 3\n"},
                                                                 {"prog_2.IN", "1  2\n"},
                                                                 {"prog_2.ans", "1 2\n"},
                                                                 {"prog3.in", "三\n"},
                                                                 {"prog.out", "not an answer\n"}})
    Write_File_Bytes(w.work + "/" + f.first, f.second);
  std::string judged = std::string("找到 4 组样例，逐一运行并评测（每组 CPU 时间限 1 秒）：\n") +
                       "样例 1（prog.in）：正确。" + CASE_FIGURES + "\n" +
                       "样例 2（prog1.in）：答案错误。" + CASE_FIGURES +
                       "\n  第 1 行\n  期望：1 3\n  实际：1 2\n" +
                       "样例 3（prog_2.IN）：格式不同。" + CASE_FIGURES +
                       "\n  第 1 行\n  期望：1 2\n  实际：1  2\n" +
                       "样例 4（prog3.in）：没有答案，输出如下。" + CASE_FIGURES + "\n三\n" + RULE +
                       "4 组样例：1 组正确，1 组答案错误，1 组格式不同，1 组没有答案\n" + KEYS;
  for (auto env : std::vector<std::vector<std::pair<std::string, std::string>>>{
           {{"GREETER_ECHO", "1"}}, {{"GREETER_ECHO", "1"}, {"GREETER_FREOPEN", "prog"}}}) {
    Result r = w.Run(env);
    EXPECT_EQ(Fixed_Case_Figures(r.out), Crlf(judged)) << env.size();
    EXPECT_EQ(r.status, 1);
  }
  // The student's own files are as they were.
  EXPECT_EQ(Read_File_Bytes(w.work + "/prog.out"), "not an answer\n");
  EXPECT_FALSE(Exists(w.work + "/greeter.log"));

  Result r = w.Run({{"GREETER_ECHO", "1"}, {"GREETER_FREOPEN", "other"}});
  EXPECT_NE(Fixed_Case_Figures(r.out)
                .find(Crlf("样例 1（prog.in）：答案错误。" + std::string(CASE_FIGURES) +
                           "\n  第 1 行\n  期望：1 2\n  实际：（没有这一行）\n"
                           "  提示：程序没有输出。若用 freopen 读写文件，文件名须是 prog.in 和 prog.out。\n")),
            std::string::npos)
      << r.out;
}

// A crash, a time-out and too much output, each ended and named; Enter
// then runs the program on the keyboard.
TEST(WinePauser, CrashTimeOutAndTooMuchOutput) {
  Window w;
  Write_File_Bytes(w.work + "/prog.in", "");
  Write_File_Bytes(w.work + "/prog.ans", "你好，来自 greeter\n");
  struct Case {
    std::string variable, value, verdict, detail, lines;
  };
  for (const Case& c :
       {Case{"GREETER_CRASH", "segv", "运行错误", "",
             "  程序异常终止，返回值为 3221225477（0xC0000005，访问冲突）。\n"
             "  提示：多半是数组越界、空指针，或用了已释放的内存。\n"},
        Case{"GREETER_BUSY", "30", "超时", "（CPU 时间超过 1 秒）", ""},
        Case{"GREETER_FLOOD", "200", "输出过多", "（超过 1.0 MiB，已终止）", ""}}) {
    Result r = w.Run({{c.variable, c.value}});
    std::size_t at = r.out.find("样例 1");
    ASSERT_NE(at, std::string::npos) << r.out;
    EXPECT_EQ(Fixed_Case_Figures(Busy_As_Cpu(r.out.substr(at))),
              Crlf("样例 1（prog.in）：" + c.verdict + c.detail + "。" + CASE_FIGURES + "\n" + c.lines +
                   RULE + "1 组样例：1 组" + c.verdict + "\n" + KEYS))
        << c.variable;
    EXPECT_EQ(r.status, 1);
  }
  Result r = w.Run({}, "\n");
  EXPECT_EQ(Fixed_Case_Figures(r.out),
            Crlf(HEAD + "样例 1（prog.in）：正确。" + CASE_FIGURES + "\n" + RULE +
                 "1 组样例：1 组正确\n" + KEYS + AGAIN + "你好，来自 greeter\n\n" + RULE +
                 "程序已结束，返回值为 0。" + PAUSER_FIGURES + "\n") + Pause_Wine());
  EXPECT_EQ(r.status, 0);
}

}  // namespace
