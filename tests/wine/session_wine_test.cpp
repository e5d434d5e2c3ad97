// Whole sessions of velder.exe under Wine with Chinese paths and spaces
// everywhere: the compiler set in the settings menu, the settings after
// a restart, build and run, the pauser, and new source files.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <regex>
#include <thread>

#include "pages.h"
#include "wine.h"

namespace {

const char SOURCE_PROMPT[] = "请输入 C++ 文件的完整路径：\n";

// The place of one session: the compiler in a directory whose name has a
// space and Chinese characters, a source in another, velder started in
// a third.
struct Place {
  Temp_Dir t;
  std::string tools = t / "编译器 目录";
  std::string work = t / "作业 1";
  std::string home = t / "工作";
  std::string compiler = tools + "/g++.exe";
  std::string source = work + "/你好 世界.cpp";
  std::string exe = work + "/你好 世界.exe";
  Place() {
    for (const std::string& d : {tools, work, home}) std::filesystem::create_directory(d);
    std::filesystem::copy_file(Helper("record_args_win32.exe"), compiler);
    Write_File_Bytes(source, "int main() { return 0; }\n");
  }
};

bool Wait_For(const std::string& path) {
  for (int i = 0; i < 600 && !Exists(path); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  return Exists(path);
}

std::string In_Settings(std::string inside) {
  return Main_Page_Text() + Settings_Page_Text() + inside + Settings_Page_Text();
}

std::string Set_Screen(std::string label, std::string prompt) {
  return label + "\n" + prompt + "\n" + SET_OK + Pause_Text();
}

// The compile line velder hands to cmd.exe, less "cmd /c" and the outer
// quotes: what the compiler's own command line must be.
std::string Compiler_Line(const Place& p, std::string options) {
  return "\"" + Win_Path(p.compiler) + "\" " + options + " -g -o \"" + Win_Path(p.exe) + "\" \"" +
         Win_Path(p.source) + "\"";
}

TEST(WineSession, CompilerSetInTheMenuBuildsAndRunsAfterARestart) {
  Place p;
  std::string options = "-O2 -DNAME=\"名字 1\"";
  Result r = Run_Piped(Wine_In(p.home), "3\r\n1\r\n" + Win_Path(p.compiler) + "\r\n3\r\n" +
                                            options + "\r\n5\r\n4\r\n");
  EXPECT_EQ(r.out, Crlf(In_Settings(Set_Screen("当前编译器路径：", "请输入新编译器路径：") +
                                    Settings_Page_Text() +
                                    Set_Screen("当前编译选项：", "请输入新编译选项：")) +
                        Main_Page_Text() + FAREWELL));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(Read_File_Bytes(p.home + "/velder_data.sg"),
            Win_Path(p.compiler) + "\r\n\r\n" + options);
  EXPECT_EQ(Dos_Attributes(p.home + "/velder_data.sg"), "0x2");

  // A new start loads them: the source is built with that compiler and
  // those options, and started in a window of its own.
  r = Run_Piped(Wine_In(p.home), "2\r\n" + Win_Path(p.source) + "\r\n1\r\n4\r\n");
  EXPECT_EQ(r.out, Crlf(Main_Page_Text() + SOURCE_PROMPT + "\n" +
                        "未找到对应程序的 exe 文件，自动编译。\n正在编译……\n编译成功！\n\n" +
                        "是否需要运行？（0/1）\n" +
                        "ConsolePauser 路径无效。即将直接启动程序。\n启动成功！\n\n" + Pause_Text() +
                        Main_Page_Text() + FAREWELL));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(Read_File_Bytes(p.tools + "/g++.args.txt"),
            Compiler_Line(p, options) + "\n-O2\n-DNAME=名字 1\n-g\n-o\n" + Win_Path(p.exe) + "\n" +
                Win_Path(p.source) + "\n--end\n");
  EXPECT_TRUE(Exists(p.exe));
  // What "start" ran: the new executable, by its path.
  ASSERT_TRUE(Wait_For(p.work + "/你好 世界.args.txt"));
  EXPECT_EQ(Read_File_Bytes(p.work + "/你好 世界.args.txt"), "\"" + Win_Path(p.exe) + "\" \n--end\n");
}

// The compiler's exit status is what decides: not 0 is a failure, and
// then nothing is started. (First a line that is not UTF-8, which names
// nothing.)
TEST(WineSession, CompileStatusDecides) {
  Place p;
  Write_File_Bytes(p.home + "/velder_data.sg", Win_Path(p.compiler) + "\r\n\r\n--exit=7");
  // What a lenient conversion would make of the bad bytes: U+FFFD twice.
  Write_File_Bytes(p.work + "/\xef\xbf\xbd\xef\xbf\xbd.cpp", "");
  Result r = Run_Piped(Wine_In(p.home),
                       "2\r\n" + Win_Path(p.work) + "\\\xff\xfe.cpp\r\n" + Win_Path(p.source) + "\r\n4\r\n");
  EXPECT_EQ(r.out, Crlf(Main_Page_Text() + SOURCE_PROMPT + NO_PATH + "\n" +
                        "未找到对应程序的 exe 文件，自动编译。\n正在编译……\n编译失败！\n\n" +
                        Pause_Text() + Main_Page_Text() + FAREWELL));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(Read_File_Bytes(p.tools + "/g++.args.txt"),
            Compiler_Line(p, "--exit=7") + "\n--exit=7\n-g\n-o\n" + Win_Path(p.exe) + "\n" +
                Win_Path(p.source) + "\n--end\n");
}

// An executable already there: asked whether to compile; "0" keeps it,
// and the pauser set as ConsolePauser starts it.
TEST(WineSession, ExistingExecutableThroughThePauser) {
  Place p;
  std::filesystem::copy_file(Helper("record_args_win32.exe"), p.exe);
  std::string pauser = p.tools + "/暂停 器.exe";
  std::filesystem::copy_file(std::string(WINE_BUILD) + "/velder-pauser.exe", pauser);
  Write_File_Bytes(p.home + "/velder_data.sg",
                   Win_Path(p.compiler) + "\r\n" + Win_Path(pauser) + "\r\n");
  Result r = Run_Piped(Wine_In(p.home), "2\r\n" + Win_Path(p.source) + "\r\n0\r\n1\r\n4\r\n");
  EXPECT_EQ(r.out, Crlf(Main_Page_Text() + SOURCE_PROMPT + "\n" + "是否需要编译？（0/1）\n" +
                        "跳过编译。\n\n是否需要运行？（0/1）\n" +
                        "正在通过 ConsolePauser 启动程序……\n启动成功！\n\n" + Pause_Text() +
                        Main_Page_Text() + FAREWELL));
  EXPECT_FALSE(Exists(p.tools + "/g++.args.txt"));
  // The pauser got the executable's path and started it.
  ASSERT_TRUE(Wait_For(p.work + "/你好 世界.args.txt"));
  EXPECT_EQ(Read_File_Bytes(p.work + "/你好 世界.args.txt"), "\"" + Win_Path(p.exe) + "\"\n--end\n");
}

TEST(WineSession, NewFileWithChineseDirectoryAndName) {
  Place p;
  std::string dir = p.t / "新 目录";
  std::filesystem::create_directory(dir);
  std::string input = "1\r\n1\r\n" + Win_Path(dir) + "\r\n你好 世界\r\n1\r\n" + Win_Path(dir) +
                      "\r\n你好 世界\r\n3\r\n4\r\n";
  Result r = Run_Piped(Wine_In(p.home), input);
  std::string screen = std::string(DIR_PROMPT) + NAME_PROMPT + "\n";
  EXPECT_EQ(r.out, Crlf(Main_Page_Text() + Edit_Page_Text() + screen + CREATED + Pause_Text() +
                        Edit_Page_Text() + screen + EXISTS + Pause_Text() + Edit_Page_Text() +
                        Main_Page_Text() + FAREWELL));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(Read_File_Bytes(dir + "/你好 世界.cpp"), "");
  EXPECT_EQ(std::filesystem::file_size(dir + "/你好 世界.cpp"), 0u);
}

// Headless Wine has no window for notepad: it gives up at once, and
// velder carries on with its message and the pause, as it ignores the
// editor's status.
TEST(WineSession, OpenFileHandsThePathToNotepad) {
  Place p;
  Result r = Run_Piped(Wine_In(p.home), "1\r\n2\r\n" + Win_Path(p.source) + "\r\n3\r\n4\r\n");
  EXPECT_EQ(r.out, Crlf(Main_Page_Text() + Edit_Page_Text() + OPEN_PROMPT + OPENED +
                        Pause_Text() + Edit_Page_Text() + Main_Page_Text() + FAREWELL));
  EXPECT_EQ(r.status, 0);
}

// velder-pauser.exe on its own: CreateProcessW with the program and its
// arguments intact, the report with the exit code, and the pause, which
// reads nothing from a pipe.
TEST(WineSession, PauserRunsTheProgramAndReports) {
  Place p;
  std::string prog = p.work + "/程序 甲.exe";
  std::filesystem::copy_file(Helper("record_args_win32.exe"), prog);
  Options o = Wine_In(p.home, std::string(WINE_BUILD) + "/velder-pauser.exe");
  o.args.insert(o.args.end(), {Win_Path(prog), "参数 一", "", "a\"b", "--exit=3"});
  Result r = Run_Piped(o, "x\r\n");
  EXPECT_EQ(Fixed_Figures(r.out), Crlf("\n" + std::string(40, '-') + "\n" +
                                    "程序已结束，返回值为 3。" + PAUSER_FIGURES + "\n" + Pause_Text()));
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(Read_File_Bytes(p.work + "/程序 甲.args.txt"),
            "\"" + Win_Path(prog) + "\" \"参数 一\" \"\" \"a\\\"b\" --exit=3\n参数 一\n\na\"b\n--exit=3\n--end\n");
}

// The figures as Windows gives them (read while the program runs where
// Wine forgets them at its end), and the common crashes by name, each
// with its hint. Lower bounds only.
TEST(WineSession, PauserReportsFiguresAndNamesCrashes) {
  Place p;
  Options o = Wine_In(p.home, std::string(WINE_BUILD) + "/velder-pauser.exe");
  o.args.push_back(Win_Path(Helper("greeter.exe")));
  Options busy = o;
  busy.env.insert(busy.env.end(),
                  {{"GREETER_BUSY", "0.3"}, {"GREETER_MEMORY", "64"}, {"GREETER_SLEEP", "0.3"}});
  Result r = Run_Piped(busy, "");
  Pauser_Figures f = Figures_In(r.out);
  EXPECT_GE(f.seconds, 0.6) << r.out;
  EXPECT_GT(f.cpu, 0) << r.out;
  EXPECT_GE(f.mib, 64) << r.out;
  EXPECT_EQ(r.status, 0);

  struct Case {
    std::string how, report;
    unsigned status;
  };
  for (const Case& c :
       {Case{"segv",
             "程序异常终止，返回值为 3221225477（0xC0000005，访问冲突）。" +
                 std::string(PAUSER_FIGURES) +
                 "\n提示：多半是数组越界、空指针，或用了已释放的内存。\n",
             0xC0000005},
        Case{"divide",
             "程序异常终止，返回值为 3221225620（0xC0000094，整数除以零）。" +
                 std::string(PAUSER_FIGURES) + "\n提示：看看除法和取余（%）的右边是否可能为零。\n",
             0xC0000094}}) {
    Options crash = o;
    crash.env.push_back({"GREETER_CRASH", c.how});
    r = Run_Piped(crash, "");
    // Wine's debugger writes its crash dump to the console first.
    std::string rule = Crlf("\n" + std::string(40, '-') + "\n");
    std::size_t at = r.out.find(rule);
    ASSERT_NE(at, std::string::npos) << r.out;
    EXPECT_EQ(Fixed_Figures(r.out.substr(at)), rule + Crlf(c.report + Pause_Text()));
    // Wine hands on the low byte of a Windows exit code.
    EXPECT_EQ(r.status, static_cast<int>(c.status & 0xFF)) << c.how;
  }
}

}  // namespace
