// Main menu choice 2 end to end: the fake compiler (which records how it
// was called) and the real g++, the executable question, the launch in
// this terminal, through the pauser, in a graphical terminal and in tmux.
#include <cstdlib>
#include <filesystem>
#include <regex>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "harness.h"
#include "option_rows.h"

namespace {

const std::string ASK_PATH = "请输入 C++ 文件的完整路径：\n";
const std::string NO_COMPILER = "编译器路径无效！请重新设置。\n\n";
const std::string NO_EXE = "未找到对应程序的 exe 文件，自动编译。\n";
const std::string ASK_COMPILE = "是否需要编译？（0/1）\n";
const std::string COMPILING = "正在编译……\n";
const std::string COMPILE_FAILED = "编译失败！\n\n";
const std::string COMPILED = "编译成功！\n";
const std::string SKIP_COMPILE = "跳过编译。\n";
const std::string ASK_RUN = "是否需要运行？（0/1）\n";
const std::string VIA_PAUSER = "正在通过 ConsolePauser 启动程序……\n";
const std::string DIRECT = "ConsolePauser 路径无效。即将直接启动程序。\n";
const std::string STARTED = "启动成功！\n";
const std::string START_FAILED = "启动失败！\n";
const std::string SKIP_RUN = "跳过运行。\n";
const std::string GREETING = "你好，来自 greeter\n";
const std::string RULE = "\n" + std::string(40, '-') + "\n";
const std::string HELLO_SOURCE =
    "#include <cstdio>\nint main() { std::printf(\"你好，世界！\\n\"); return 0; }\n";

std::string Pause() { return std::string(PAUSE_PROMPT) + "\n"; }

// From the start to the path prompt of choice 2, and from the end of the
// action back to the main page (where the input ends).
std::string Into_Run() { return Cls_Dumb() + Main_Page_Text() + Cls_Dumb() + ASK_PATH; }
std::string Back() { return Pause() + Cls_Dumb() + Main_Page_Text(); }

void Settings(const Temp_Dir& d, std::string com, std::string con, std::string opts) {
  Write_File_Bytes(d / "velder_data.sg", com + "\r\n" + con + "\r\n" + opts);
}

void Copy_Program(const std::string& from, const std::string& to) {
  Write_File_Bytes(to, Read_File_Bytes(from));
  chmod(to.c_str(), 0755);
}

// A run in d with no window to be had: programs start in this terminal.
Options Here(const Temp_Dir& d) {
  Options o = In(d.path());
  o.unset = {"TMUX", "DISPLAY", "WAYLAND_DISPLAY"};
  o.env = {{"FAKE_COMPILER_LOG", d / "compiler.log"}, {"FAKE_COMPILER_COPY", Helper("greeter")}};
  return o;
}

bool Have_Gpp() { return access("/usr/bin/g++", X_OK) == 0; }

TEST(BuildRun, NoCompilerSetEndsAfterThePath) {
  for (std::string com : {std::string(), std::string("/nonexistent/g++"), std::string("/usr")}) {
    Temp_Dir d;
    Settings(d, com, "", "");
    Write_File_Bytes(d / "a.cpp", "");
    Result r = Run_Piped(Here(d), "2\n" + (d / "a.cpp") + "\n");
    EXPECT_EQ(r.out, Into_Run() + "\n" + NO_COMPILER + Back()) << com;
    EXPECT_FALSE(Exists(d / "a.exe"));
  }
}

TEST(BuildRun, EndOfInputAtThePathEndsTheProgram) {
  Temp_Dir d;
  Settings(d, Helper("fake_compiler"), "", "");
  Result r = Run_Piped(Here(d), "2\nnothing.cpp\n");
  EXPECT_EQ(r.out, Into_Run() + "路径无效，请重新输入。\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err, "");
  EXPECT_EQ(Read_File_Bytes(d / "velder_data.sg"), std::string(Helper("fake_compiler")) + "\r\n\r\n");
}

TEST(BuildRun, CtrlCStopsTheCompilerNotVelder) {
  Temp_Dir d;
  // The greeter stands in for a compiler that takes its time.
  Settings(d, Helper("greeter"), "", "");
  Write_File_Bytes(d / "a.cpp", "");
  Options o = Here(d);
  o.env = {{"TERM", "dumb"}, {"GREETER_SLEEP", "60"}};
  Result r = Run_Pty(o, {{"保存信息并退出\r\n\r\n", "2\r"},
                         {"路径：\r\n", "a.cpp\r"},
                         {"你好，来自 greeter", "\x03"},
                         {PAUSE_PROMPT, "k"},
                         {"保存信息并退出\r\n\r\n", "4\r"}});
  EXPECT_FALSE(r.timed_out);
  EXPECT_NE(r.out.find(Onlcr(COMPILE_FAILED) + PAUSE_PROMPT), std::string::npos) << r.out;
  EXPECT_EQ(r.status, 0);
}

TEST(BuildRun, FirstCompileWithOptionsThenNoRun) {
  Temp_Dir d;
  Settings(d, Helper("fake_compiler"), "", "-O2 -Wall");
  Write_File_Bytes(d / "notes.txt", "");
  Write_File_Bytes(d / "a.cpp", "");
  std::string src = d / "a.cpp";
  Result r = Run_Piped(Here(d), "2\nmissing.cpp\n" + d.path() + "\nnotes.txt\n" + src + "\n0\n");
  EXPECT_EQ(r.out, Into_Run() + "路径无效，请重新输入。\n路径指向的不是文件，请重新输入。\n"
                                "路径指向的文件类型不正确，请重新输入。\n" +
                       "\n" + NO_EXE + COMPILING + COMPILED + "\n" + ASK_RUN + SKIP_RUN + "\n" +
                       Back());
  EXPECT_EQ(Read_File_Bytes(d / "compiler.log"),
            "[" + Helper("fake_compiler") + "][-O2][-Wall][-g][-o][" + (d / "a.exe") + "][" + src +
                "]\n");
  EXPECT_TRUE(Exists(d / "a.exe"));
}

// The options as a Windows compiler's runtime would split them, row by
// row of the table the Windows build is checked against too.
TEST(BuildRun, OptionsSplitAsOnWindows) {
  Temp_Dir d;
  std::string com = Helper("fake_compiler"), dir = d / "作业 1", src = dir + "/你好 世界.cpp";
  mkdir(dir.c_str(), 0755);
  Settings(d, com, "", "");
  Write_File_Bytes(src, "");
  std::vector<Option_Row> rows = Option_Rows();
  Result r = Run_Piped(Here(d), Option_Rows_Input(rows, src, "\n"));
  std::string want;
  for (const Option_Row& row : rows) {
    want += "[" + com + "]";
    for (const std::string& a : With_Paths(row.args, dir + "/你好 世界.exe", src)) want += "[" + a + "]";
    want += "\n";
  }
  EXPECT_EQ(Read_File_Bytes(d / "compiler.log"), want);
  std::size_t built = 0;
  for (std::size_t at = 0; (at = r.out.find(COMPILED, at)) != std::string::npos; ++at) ++built;
  EXPECT_EQ(built, rows.size());
}

TEST(BuildRun, ExistingExecutableAnswers) {
  struct Case {
    std::string answers, expected;
    int compiles;
  };
  const Case cases[] = {
      {"0\n1\n", SKIP_COMPILE + "\n" + ASK_RUN + DIRECT + GREETING + STARTED, 0},
      {"1\n0\n", COMPILING + COMPILED + "\n" + ASK_RUN + SKIP_RUN, 1},
      {"\n\n", SKIP_COMPILE + "\n" + ASK_RUN + SKIP_RUN, 0},
      {"7\n0\nx\n1\n", RANGE_MESSAGE + SKIP_COMPILE + "\n" + ASK_RUN + DIGIT_MESSAGE + DIRECT +
                           GREETING + STARTED,
       0},
  };
  for (const Case& c : cases) {
    Temp_Dir d;
    Settings(d, Helper("fake_compiler"), "", "");
    Write_File_Bytes(d / "Hello.CPP", "");
    Copy_Program(Helper("greeter"), d / "Hello.exe");
    Result r = Run_Piped(Here(d), "2\nHello.CPP\n" + c.answers);
    EXPECT_EQ(r.out, Into_Run() + "\n" + ASK_COMPILE + c.expected + "\n" + Back()) << c.answers;
    std::string log = Read_File_Bytes(d / "compiler.log");
    EXPECT_EQ(log.empty() ? 0 : 1, c.compiles) << c.answers;
    if (c.compiles) {
      EXPECT_EQ(log, "[" + Helper("fake_compiler") + "][-g][-o][Hello.exe][Hello.CPP]\n");
    }
  }
}

// A source that is not UTF-8 gets one line before the compile, which
// goes on all the same; a UTF-8 one (with or without a byte order mark)
// does not, nor one whose encoding the options already name.
TEST(BuildRun, SourceThatIsNotUtf8IsPointedOut) {
  const std::string gbk = "int main() { puts(\"\xc4\xe3\xba\xc3\"); }\n";  // 你好 in GBK
  struct Case {
    std::string source, options;
    bool warned;
  };
  const Case cases[] = {
      {gbk, "", true},
      {std::string(70000, 'a') + "\xe4\xbd", "", true},  // cut off after a piece's end
      {HELLO_SOURCE, "", false},
      {"\xef\xbb\xbf" + HELLO_SOURCE, "", false},
      {gbk, "-finput-charset=GBK", false},
  };
  for (const Case& c : cases) {
    Temp_Dir d;
    Settings(d, Helper("fake_compiler"), "", c.options);
    Write_File_Bytes(d / "a.cpp", c.source);
    Result r = Run_Piped(Here(d), "2\na.cpp\n0\n");
    std::string warning = c.warned ? "注意：源文件不是 UTF-8 编码，其中的中文在 UTF-8 的运行窗口里会成为乱码；"
                                     "请将它另存为 UTF-8，或在编译选项中加上 -finput-charset=GBK。\n"
                                   : "";
    EXPECT_EQ(r.out, Into_Run() + "\n" + NO_EXE + warning + COMPILING + COMPILED + "\n" + ASK_RUN +
                         SKIP_RUN + "\n" + Back())
        << c.options << c.source.size();
  }
}

TEST(BuildRun, DirectoryNamedLikeTheExecutableIsNoExecutable) {
  Temp_Dir d;
  Settings(d, Helper("fake_compiler"), "", "");
  Write_File_Bytes(d / "a.cpp", "");
  mkdir((d / "a.exe").c_str(), 0755);
  Options o = Here(d);
  o.env.push_back({"FAKE_COMPILER_STATUS", "1"});
  Result r = Run_Piped(o, "2\na.cpp\n");
  EXPECT_EQ(r.out, Into_Run() + "\n" + NO_EXE + COMPILING + COMPILE_FAILED + Back());
}

TEST(BuildRun, CompileFailureAsksNothingMore) {
  Temp_Dir d;
  Settings(d, Helper("fake_compiler"), "", "");
  Write_File_Bytes(d / "a.cpp", "");
  Copy_Program(Helper("greeter"), d / "a.exe");
  Options o = Here(d);
  o.env.push_back({"FAKE_COMPILER_STATUS", "3"});
  Result r = Run_Piped(o, "2\na.cpp\n1\n");
  EXPECT_EQ(r.out, Into_Run() + "\n" + ASK_COMPILE + COMPILING + COMPILE_FAILED + Back());
}

// The compiler's messages (saved MinGW output, CR LF and all) shown as
// written, then the explanation; the compiler runs in the C locale
// whatever velder's own.
TEST(BuildRun, CompilerOutputExplained) {
  const std::string source = "#include <iostream>\r\nint main() {\r\n    int n = 0;\r\n    if (n = 1) cout << n;\r\n}\r\n";
  const std::string undeclared =
      "a.cpp: In function 'int main()':\r\n"
      "a.cpp:4:16: error: 'cout' was not declared in this scope; did you mean 'std::cout'?\r\n"
      "    4 |     if (n = 1) cout << n;\r\n      |                ^~~~\r\n      |                std::cout\r\n";
  const std::string no_main =
      "C:/mingw64/bin/../lib/gcc/x86_64-w64-mingw32/13.2.0/../../../../x86_64-w64-mingw32/bin/ld.exe: "
      "C:/mingw64/lib/libmingw32.a(lib64_libmingw32_a-crtexewin.o):crtexewin.c:(.text.startup+0xbd): "
      "undefined reference to `WinMain'\r\ncollect2.exe: error: ld returned 1 exit status\r\n";
  const std::string warned =
      "a.cpp:4:11: warning: suggest parentheses around assignment used as truth value [-Wparentheses]\r\n";
  struct Case {
    std::string said, status, shown;
  };
  const Case cases[] = {
      {undeclared, "1",
       COMPILE_FAILED + "共 1 个错误。\n第一个错误在 a.cpp 第 4 行：\n    4 |     if (n = 1) cout << n;\n"
       "      |                ^\n原因：cout 是标准库里的名字，在 std 命名空间里，直接写 cout 找不到它。\n"
       "改法：写成 std::cout，或在所有 #include 之后加一行 using namespace std;。\n\n" + Back()},
      {no_main, "1",
       COMPILE_FAILED + "共 1 个错误。\n原因：程序里没有 main 函数：可能是名字拼错了（如 mian、Main），或者文件还没保存。\n"
       "改法：检查 int main() 的拼写，保存文件后再编译。\n\n" + Back()},
      {"", "1", COMPILE_FAILED + Back()},
      {warned, "0",
       COMPILED + "编译有 1 个警告，第一个在 a.cpp 第 4 行。\n第 4 行：条件里用了赋值 =，多半本想写比较 ==。\n\n" + ASK_RUN +
       SKIP_RUN + "\n" + Back()},
      {"", "0", COMPILED + "\n" + ASK_RUN + SKIP_RUN + "\n" + Back()},
  };
  for (const Case& c : cases) {
    Temp_Dir d;
    Settings(d, Helper("fake_compiler"), "", "");
    Write_File_Bytes(d / "a.cpp", source);
    Write_File_Bytes(d / "said.txt", c.said);
    Options o = Here(d);
    o.env.push_back({"FAKE_COMPILER_STATUS", c.status});
    o.env.push_back({"FAKE_COMPILER_SAY", d / "said.txt"});
    o.env.push_back({"FAKE_COMPILER_ENV_LOG", d / "env.log"});
    o.env.push_back({"LC_ALL", "zh_CN.UTF-8"});
    o.env.push_back({"LANGUAGE", "zh_CN:zh"});
    Result r = Run_Piped(o, c.status == "0" ? "2\na.cpp\n0\n" : "2\na.cpp\n");
    // Shown as written, its CR LF as this system's own line end.
    std::string shown = std::regex_replace(c.said, std::regex("\r\n"), "\n");
    EXPECT_EQ(r.out, Into_Run() + "\n" + NO_EXE + COMPILING + shown + c.shown) << c.said;
    EXPECT_EQ(Read_File_Bytes(d / "env.log"), "LC_ALL=C LANGUAGE unset\n");
  }
}

// On a terminal the compiler's text comes in GCC's colours.
TEST(BuildRun, CompilerOutputInColourOnATerminal) {
  Temp_Dir d;
  Settings(d, Helper("fake_compiler"), "", "");
  Write_File_Bytes(d / "a.cpp", "int main() {\n    summ = 3;\n}\n");
  Write_File_Bytes(d / "said.txt", "a.cpp:2:5: error: 'summ' was not declared in this scope\n"
                                   "    2 |     summ = 3;\n      |     ^~~~\n");
  Options o = Here(d);
  o.env.push_back({"FAKE_COMPILER_STATUS", "1"});
  o.env.push_back({"FAKE_COMPILER_SAY", d / "said.txt"});
  o.env.push_back({"TERM", "xterm"});
  Result r = Run_Pty(o, {{"保存信息并退出\r\n\r\n", "2\r"},
                         {ASK_PATH.substr(0, ASK_PATH.size() - 1), "a.cpp\r"},
                         {PAUSE_PROMPT, "k"},
                         {"保存信息并退出\r\n\r\n", "4\r"}});
  EXPECT_FALSE(r.timed_out);
  EXPECT_NE(r.out.find("\x1b[01m\x1b[Ka.cpp:2:5:\x1b[m\x1b[K \x1b[01;31m\x1b[Kerror:\x1b[m\x1b[K 'summ'"),
            std::string::npos) << r.out;
  EXPECT_NE(r.out.find("      |     \x1b[01;32m\x1b[K^~~~\x1b[m\x1b[K"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("原因：summ 没有声明"), std::string::npos) << r.out;
}

TEST(BuildRun, ALaunchThatFailsIsReported) {
  Temp_Dir d;
  Settings(d, Helper("fake_compiler"), "", "");
  Write_File_Bytes(d / "a.cpp", "");
  Write_File_Bytes(d / "a.exe", "not a program\n");  // no execute bit
  Result r = Run_Piped(Here(d), "2\na.cpp\n0\n1\n");
  EXPECT_EQ(r.out, Into_Run() + "\n" + ASK_COMPILE + SKIP_COMPILE + "\n" + ASK_RUN + DIRECT +
                       START_FAILED + "\n" + Back());
  EXPECT_NE(r.err.find("a.exe"), std::string::npos) << r.err;

  // A pauser that is a file but no program.
  Copy_Program(Helper("greeter"), d / "a.exe");
  Write_File_Bytes(d / "pauser.txt", "");
  Settings(d, Helper("fake_compiler"), "pauser.txt", "");
  r = Run_Piped(Here(d), "2\na.cpp\n0\n1\n");
  EXPECT_EQ(r.out, Into_Run() + "\n" + ASK_COMPILE + SKIP_COMPILE + "\n" + ASK_RUN + VIA_PAUSER +
                       START_FAILED + "\n" + Back());
}

TEST(BuildRun, ThroughThePauser) {
  Temp_Dir d;
  Settings(d, Helper("fake_compiler"), PAUSER_BIN, "");
  Write_File_Bytes(d / "a.cpp", "");
  Options o = Here(d);
  o.env.push_back({"GREETER_STATUS", "3"});
  Result r = Run_Piped(o, "2\na.cpp\n1\n");
  EXPECT_EQ(Fixed_Figures(r.out), Into_Run() + "\n" + NO_EXE + COMPILING + COMPILED + "\n" + ASK_RUN +
                                   VIA_PAUSER + GREETING + RULE +
                                   "程序已结束，返回值为 3。" + PAUSER_FIGURES + "\n" + Pause() + STARTED +
                                   "\n" + Back());
  EXPECT_EQ(Read_File_Bytes(d / "greeter.log"), "cwd=" + d.path() + "\n[a.exe]\n");
}

TEST(BuildRun, InAGraphicalTerminal) {
  Temp_Dir d;
  Settings(d, Helper("fake_compiler"), "", "");
  Write_File_Bytes(d / "a b.cpp", "");
  mkdir((d / "bin").c_str(), 0755);
  std::string terminal = d / "bin/x-terminal-emulator";
  ASSERT_EQ(symlink(Helper("fake_terminal_posix").c_str(), terminal.c_str()), 0);
  Options o = Here(d);
  o.env.push_back({"DISPLAY", ":99"});
  o.env.push_back({"FAKE_TERMINAL_LOG", d / "terminal.log"});
  o.env.push_back({"PATH", (d / "bin") + ":" + std::getenv("PATH")});
  Result r = Run_Piped(o, "2\na b.cpp\n1\n");
  EXPECT_EQ(r.out, Into_Run() + "\n" + NO_EXE + COMPILING + COMPILED + "\n" + ASK_RUN + DIRECT +
                       STARTED + "\n" + Back());
  for (int i = 0; i < 200 && !Exists(d / "greeter.log"); ++i) usleep(50000);
  // A program alone goes through nice, never a single word a terminal might
  // hand to a shell.
  EXPECT_TRUE(std::regex_match(Read_File_Bytes(d / "terminal.log"),
                               std::regex("\\[-T\\]\\[a b\\.cpp\\]\\[-e\\]\\[/[^\\]]*/nice\\]"
                                          "\\[-n\\]\\[0\\]\\[--\\]\\[\\./a b\\.exe\\]\n")))
      << Read_File_Bytes(d / "terminal.log");
  EXPECT_EQ(Read_File_Bytes(d / "greeter.log"), "cwd=" + d.path() + "\n[./a b.exe]\n");
}

TEST(BuildRunGpp, FirstCompileAndRunShowsTheProgramsOutput) {
  if (!Have_Gpp()) GTEST_SKIP() << "/usr/bin/g++ is not installed";
  Temp_Dir d;
  Settings(d, "/usr/bin/g++", "", "");
  Write_File_Bytes(d / "hello.cpp", HELLO_SOURCE);
  // Relative, as typed: compiled and started in the working directory.
  Result r = Run_Piped(Here(d), "2\nhello.cpp\n1\n2\nhello.cpp\n\n1\n");
  EXPECT_EQ(r.out, Into_Run() + "\n" + NO_EXE + COMPILING + COMPILED + "\n" + ASK_RUN + DIRECT +
                       "你好，世界！\n" + STARTED + "\n" + Back() + Cls_Dumb() + ASK_PATH + "\n" +
                       ASK_COMPILE + SKIP_COMPILE + "\n" + ASK_RUN + DIRECT + "你好，世界！\n" +
                       STARTED + "\n" + Back());
  EXPECT_EQ(r.err.find("velder:"), 0u) << r.err;  // only the end-of-input note
}

// A name that begins with "-" is a file to the compiler, not an option;
// the program built from it is started, directly and through the pauser.
TEST(BuildRunGpp, SourceNamedLikeAnOption) {
  if (!Have_Gpp()) GTEST_SKIP() << "/usr/bin/g++ is not installed";
  Temp_Dir d;
  Settings(d, "/usr/bin/g++", "", "");
  Write_File_Bytes(d / "-test.cpp", HELLO_SOURCE);
  Result r = Run_Piped(Here(d), "2\n-test.cpp\n1\n");
  EXPECT_EQ(r.out, Into_Run() + "\n" + NO_EXE + COMPILING + COMPILED + "\n" + ASK_RUN + DIRECT +
                       "你好，世界！\n" + STARTED + "\n" + Back());
  EXPECT_TRUE(Exists(d / "-test.exe"));
  Settings(d, Helper("fake_compiler"), PAUSER_BIN, "");
  r = Run_Piped(Here(d), "2\n-test.cpp\n1\n1\n");
  EXPECT_EQ(Read_File_Bytes(d / "compiler.log"),
            "[" + Helper("fake_compiler") + "][-g][-o][./-test.exe][./-test.cpp]\n");
  EXPECT_NE(r.out.find(VIA_PAUSER + "你好，来自 greeter\n"), std::string::npos) << r.out;
}

TEST(BuildRunGpp, CompileErrorShowsTheCompilersMessages) {
  if (!Have_Gpp()) GTEST_SKIP() << "/usr/bin/g++ is not installed";
  Temp_Dir d;
  Settings(d, "/usr/bin/g++", "", "-Wall");
  Write_File_Bytes(d / "bad.cpp", "int main() { return undeclared_name; }\n");
  Result r = Run_Piped(Here(d), "2\n" + (d / "bad.cpp") + "\n");
  // The compiler's messages, in English whatever the locale, then the
  // explanation of the first.
  std::string head = Into_Run() + "\n" + NO_EXE + COMPILING;
  EXPECT_EQ(r.out.substr(0, head.size()), head);
  EXPECT_NE(r.out.find("error: 'undeclared_name' was not declared in this scope"), std::string::npos) << r.out;
  std::string tail = COMPILE_FAILED + "共 1 个错误。\n第一个错误在 bad.cpp 第 1 行：\n"
                     "    1 | int main() { return undeclared_name; }\n      |                     ^\n"
                     "原因：undeclared_name 没有声明：可能名字拼错了，或者它是在别的 { } 里面定义的，在这里用不到。\n"
                     "改法：检查拼写；变量要先定义再使用，而且只在定义它的那对 { } 里面有效。\n\n" + Back();
  ASSERT_GE(r.out.size(), tail.size());
  EXPECT_EQ(r.out.substr(r.out.size() - tail.size()), tail);
  EXPECT_FALSE(Exists(d / "bad.exe"));
}

TEST(BuildRunGpp, HostileNamesReachNoShell) {
  if (!Have_Gpp()) GTEST_SKIP() << "/usr/bin/g++ is not installed";
  Temp_Dir d;
  std::string dir = d / "my dir 中文 $(touch SHELL0)";
  mkdir(dir.c_str(), 0755);
  std::string stem = dir + "/a b 你好 $(touch SHELL1) ; touch SHELL2 & `touch SHELL3` 'q' \\ x";
  Write_File_Bytes(stem + ".cpp", HELLO_SOURCE);
  Settings(d, "/usr/bin/g++", "", "-O0");
  Result r = Run_Piped(Here(d), "2\n" + stem + ".cpp\n1\n");
  EXPECT_EQ(r.out, Into_Run() + "\n" + NO_EXE + COMPILING + COMPILED + "\n" + ASK_RUN + DIRECT +
                       "你好，世界！\n" + STARTED + "\n" + Back());
  EXPECT_TRUE(Exists(stem + ".exe"));
  for (std::string f : {"SHELL0", "SHELL1", "SHELL2", "SHELL3"}) {
    EXPECT_FALSE(Exists(d / f)) << f;
    EXPECT_FALSE(Exists(dir + "/" + f)) << f;
  }
}

TEST(BuildRunGpp, ThroughThePauserOnATerminal) {
  if (!Have_Gpp()) GTEST_SKIP() << "/usr/bin/g++ is not installed";
  Temp_Dir d;
  Settings(d, "/usr/bin/g++", PAUSER_BIN, "");
  Write_File_Bytes(d / "hello.cpp", HELLO_SOURCE);
  Options o = Here(d);
  o.env.push_back({"TERM", "dumb"});
  Result r = Run_Pty(o, {{"保存信息并退出\r\n\r\n", "2\r"},
                         {ASK_PATH.substr(0, ASK_PATH.size() - 1), "hello.cpp\r"},
                         {"（0/1）", "1\r"},
                         {"返回值为 0。", ""},
                         {PAUSE_PROMPT, "k"},
                         {STARTED.substr(0, STARTED.size() - 1) + "\r\n\r\n" + PAUSE_PROMPT, "k"},
                         {"保存信息并退出\r\n\r\n", "4\r"}});
  EXPECT_FALSE(r.timed_out);
  EXPECT_EQ(r.status, 0);
  // The pauser waited for its key: neither key was echoed or read as a line.
  std::string tail = Onlcr(VIA_PAUSER + "你好，世界！\n" + RULE + "程序已结束，返回值为 0。" + PAUSER_FIGURES + "\n") +
                     PAUSE_PROMPT + "\r\n" + Onlcr(STARTED + "\n") + PAUSE_PROMPT + "\r\n" +
                     Cls_Dumb();
  EXPECT_NE(Fixed_Figures(r.out).find(tail), std::string::npos) << r.out;
}

}  // namespace

// The precompiled <bits/stdc++.h>: the first compile says that the next
// will be faster and starts its build; the next compiles say nothing of
// it. The cache is a folder of the test's own.
namespace {

TEST(BuildRunGpp, PrecompiledHeaderBuiltForTheNextCompile) {
  if (!Have_Gpp()) GTEST_SKIP() << "/usr/bin/g++ is not installed";
  Temp_Dir d;
  Settings(d, "/usr/bin/g++", "", "-O2");
  Write_File_Bytes(d / "a.cpp", "#include <bits/stdc++.h>\nint main() { std::puts(\"ok\"); }\n");
  Options o = Here(d);
  o.unset.push_back("VELDER_NO_PCH");
  o.env.push_back({"XDG_CACHE_HOME", d / "cache"});
  const std::string BUILDING = "已在后台预编译 bits/stdc++.h，下次编译会更快。\n";
  Result first = Run_Piped(o, "2\na.cpp\n0\n");
  EXPECT_NE(first.out.find(COMPILING + BUILDING + COMPILED), std::string::npos) << first.out;
  // Built in the background, by a helper that outlives velder.
  auto ready = [&] {
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(d / "cache/velder/pch", ec))
      if (std::filesystem::exists(e.path() / "bits/stdc++.h.gch")) return true;
    return false;
  };
  for (int i = 0; i < 1200 && !ready(); ++i) usleep(100000);
  ASSERT_TRUE(ready());
  Result next = Run_Piped(o, "2\na.cpp\n1\n0\n");
  EXPECT_NE(next.out.find(COMPILING + COMPILED), std::string::npos) << next.out;
  EXPECT_EQ(next.out.find("预编译"), std::string::npos) << next.out;
}

}  // namespace
