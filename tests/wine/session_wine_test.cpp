// Whole sessions of velder.exe under Wine with Chinese paths and spaces
// everywhere: the compiler set in the settings menu, the settings after
// a restart, build and run, the pauser, and new source files; options
// split as on Linux; names that cmd.exe would act on.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <regex>
#include <thread>

#include "option_rows.h"
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

// MinGW's messages through the stand-in compiler: shown as written, the
// first error explained by its line in the student's file; the compiler
// runs with LC_ALL=C and without LANGUAGE, whatever velder's own.
TEST(WineSession, CompilerOutputExplained) {
  Place p;
  std::filesystem::copy_file(Helper("fake_compiler.exe"), p.compiler,
                             std::filesystem::copy_options::overwrite_existing);
  Write_File_Bytes(p.source, "int main() {\r\n    int x = 3\r\n    return x;\r\n}\r\n");
  // The stand-in writes it in text mode, as MinGW's GCC does: CR LF.
  std::string said = Win_Path(p.source) + ": In function 'int main()':\n" + Win_Path(p.source) +
                     ":3:5: error: expected ',' or ';' before 'return'\n    3 |     return x;\n"
                     "      |     ^~~~~~\n";
  Write_File_Bytes(p.t / "said.txt", said);
  Write_File_Bytes(p.home + "/velder_data.sg", Win_Path(p.compiler) + "\r\n\r\n");
  Options o = Wine_In(p.home);
  o.env.push_back({"FAKE_COMPILER_STATUS", "1"});
  o.env.push_back({"FAKE_COMPILER_SAY", Win_Path(p.t / "said.txt")});
  o.env.push_back({"FAKE_COMPILER_ENV_LOG", Win_Path(p.t / "env.log")});
  // Not LC_ALL: Wine itself would read file names in that locale.
  o.env.push_back({"LANGUAGE", "zh_CN"});
  o.unset.push_back("LC_ALL");
  Result r = Run_Piped(o, "2\r\n" + Win_Path(p.source) + "\r\n4\r\n");
  EXPECT_EQ(r.out, Crlf(Main_Page_Text() + SOURCE_PROMPT + "\n" + "未找到对应程序的 exe 文件，自动编译。\n正在编译……\n" +
                        said + "编译失败！\n\n共 1 个错误。\n第一个错误在 你好 世界.cpp 第 2 行：\n"
                        "    2 |     int x = 3\n      |              ^\n"
                        "原因：第 2 行的末尾少了分号 ;。GCC 读到第 3 行才发现上一句没有结束，所以把错误报在了第 3 行。\n"
                        "改法：在第 2 行的末尾加上 ;。\n\n" +
                        Pause_Text() + Main_Page_Text() + FAREWELL));
  EXPECT_EQ(Read_File_Bytes(p.t / "env.log"), "LC_ALL=C LANGUAGE unset\r\n");
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
  o.args.insert(o.args.end(), {Win_Path(prog), "参数 一", "", "a\"b", "--exit=4"});
  Result r = Run_Piped(o, "x\r\n");
  EXPECT_EQ(Fixed_Figures(r.out), Crlf("\n" + std::string(40, '-') + "\n" +
                                    "程序已结束，返回值为 4。" + PAUSER_FIGURES + "\n" + Pause_Text()));
  EXPECT_EQ(r.status, 4);
  EXPECT_EQ(Read_File_Bytes(p.work + "/程序 甲.args.txt"),
            "\"" + Win_Path(prog) + "\" \"参数 一\" \"\" \"a\\\"b\" --exit=4\n参数 一\n\na\"b\n--exit=4\n--end\n");
}

// A bare name is the program in the working directory, as velder hands
// it over for a relative source path, not one of that name that lies
// beside the pauser, where CreateProcess would look first.
TEST(WineSession, PauserTakesABareNameFromTheWorkingDirectory) {
  Place p;
  std::string pauser = p.tools + "/velder-pauser.exe";
  std::filesystem::copy_file(std::string(WINE_BUILD) + "/velder-pauser.exe", pauser);
  for (const std::string& d : {p.tools, p.home})
    std::filesystem::copy_file(Helper("record_args_win32.exe"), d + "/hello.exe");
  Options o = Wine_In(p.home, pauser);
  o.args.push_back("hello.exe");
  Result r = Run_Piped(o, "");
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_TRUE(Exists(p.home + "/hello.args.txt"));
  EXPECT_FALSE(Exists(p.tools + "/hello.args.txt"));
}

// The arguments of each compile in a record of the stand-in compiler
// (its command line, which comes first, left out).
std::vector<std::vector<std::string>> Compiles(const std::string& record) {
  std::vector<std::vector<std::string>> all;
  std::vector<std::string> lines;
  std::size_t from = 0;
  for (std::size_t nl; (nl = record.find('\n', from)) != std::string::npos; from = nl + 1) {
    std::string line = record.substr(from, nl - from);
    if (line != "--end") {
      lines.push_back(line);
      continue;
    }
    if (!lines.empty()) lines.erase(lines.begin());
    all.push_back(lines);
    lines.clear();
  }
  return all;
}

// Each row of the option table, set in the settings menu and compiled
// with: the compiler's runtime makes of the line the arguments the
// Linux build hands over for the same row.
TEST(WineSession, OptionsSplitAsOnLinux) {
  Place p;
  Write_File_Bytes(p.home + "/velder_data.sg", Win_Path(p.compiler) + "\r\n\r\n");
  std::vector<Option_Row> rows = Option_Rows();
  Result r = Run_Piped(Wine_In(p.home), Option_Rows_Input(rows, Win_Path(p.source), "\r\n"));
  EXPECT_EQ(r.status, 0);
  std::vector<std::vector<std::string>> got = Compiles(Read_File_Bytes(p.tools + "/g++.args.txt"));
  ASSERT_EQ(got.size(), rows.size()) << r.out;
  for (std::size_t i = 0; i < rows.size(); ++i)
    EXPECT_EQ(got[i], With_Paths(rows[i].args, Win_Path(p.exe), Win_Path(p.source)))
        << "options: " << rows[i].options;
}

// Every entry under dir named name, at any depth.
std::vector<std::string> Found(const std::string& dir, const std::string& name) {
  std::vector<std::string> found;
  for (const auto& e : std::filesystem::recursive_directory_iterator(dir))
    if (e.path().filename() == name) found.push_back(e.path().string());
  return found;
}

// "&", "^", parentheses, spaces and Chinese in the compiler's folder, the
// source's folder and the source's name: the compiler gets exactly the
// paths, the program starts (directly and through the pauser), and no
// part of a name runs as a command.
TEST(WineSession, NamesWithCmdCharactersStayNames) {
  Temp_Dir t;
  std::string tools = t / "工具 &^() 目录", work = t / "作业 & (1) ^ 练习", home = t / "工作";
  for (const std::string& d : {tools, work, home}) std::filesystem::create_directory(d);
  std::string compiler = tools + "/g++ &^().exe", pauser = tools + "/暂停&器 (1).exe";
  std::filesystem::copy_file(Helper("record_args_win32.exe"), compiler);
  std::filesystem::copy_file(std::string(WINE_BUILD) + "/velder-pauser.exe", pauser);
  std::string a = work + "/x&mkdir INJ&", b = work + "/你好 (世界) ^&mkdir INJ2& a";
  Write_File_Bytes(a + ".cpp", "");
  Write_File_Bytes(b + ".cpp", "");
  std::string options = "-O2 -DN=\"名 字\"";
  Write_File_Bytes(home + "/velder_data.sg", Win_Path(compiler) + "\r\n\r\n" + options);
  std::string input = "2\r\n" + Win_Path(a + ".cpp") + "\r\n1\r\n";
  Result r = Run_Piped(Wine_In(home), input + "4\r\n");
  EXPECT_EQ(r.status, 0);
  Write_File_Bytes(home + "/velder_data.sg",
                   Win_Path(compiler) + "\r\n" + Win_Path(pauser) + "\r\n" + options);
  r = Run_Piped(Wine_In(home), "2\r\n" + Win_Path(b + ".cpp") + "\r\n1\r\n4\r\n");
  EXPECT_EQ(r.out, Crlf(Main_Page_Text() + SOURCE_PROMPT + "\n" +
                        "未找到对应程序的 exe 文件，自动编译。\n正在编译……\n编译成功！\n\n" +
                        "是否需要运行？（0/1）\n" + "正在通过 ConsolePauser 启动程序……\n启动成功！\n\n" +
                        Pause_Text() + Main_Page_Text() + FAREWELL));
  std::string record;
  for (const std::string& s : {a, b})
    record += "\"" + Win_Path(compiler) + "\" " + options + " -g -o \"" + Win_Path(s + ".exe") +
              "\" \"" + Win_Path(s + ".cpp") + "\"\n-O2\n-DN=名 字\n-g\n-o\n" +
              Win_Path(s + ".exe") + "\n" + Win_Path(s + ".cpp") + "\n--end\n";
  EXPECT_EQ(Read_File_Bytes(tools + "/g++ &^().args.txt"), record);
  // Each program started, by its own path.
  ASSERT_TRUE(Wait_For(a + ".args.txt"));
  EXPECT_EQ(Read_File_Bytes(a + ".args.txt"), "\"" + Win_Path(a + ".exe") + "\" \n--end\n");
  ASSERT_TRUE(Wait_For(b + ".args.txt"));
  EXPECT_EQ(Read_File_Bytes(b + ".args.txt"), "\"" + Win_Path(b + ".exe") + "\"\n--end\n");
  for (std::string inj : {"INJ", "INJ2"}) {
    EXPECT_EQ(Found(t.path(), inj), std::vector<std::string>()) << inj;
    EXPECT_FALSE(Exists("/tmp/" + inj)) << inj;
  }
}

std::string Rewritten(std::string c) {
  return "路径含有“" + c + "”，会被 cmd.exe 改写（当作变量展开），请重新输入。\n";
}

// For an entry that exists: only a new name helps, and the message names
// the file or folder.
std::string Rename(std::string kind, std::string name, std::string c) {
  return kind + "名“" + name + "”含有“" + c + "”，会被 cmd.exe 改写（当作变量展开）。请先给它改名，去掉“" +
         c + "”，再输入新的路径。\n";
}

// cmd.exe replaces "%NAME%" even between quotes, and "!NAME!" under
// delayed expansion: a path holding either names nothing, typed (with a
// message naming the character) or stored, and no file is made with
// such a name. A file or folder that exists is named, to be renamed.
TEST(WineSession, PercentAndBangNameNothing) {
  Place p;
  std::string odd = p.work + "/%VELDER_NAME%.cpp", bang = p.work + "/!VELDER_NAME!.cpp";
  std::string folder = p.work + "/100% 作业", missing = p.work + "/%none%.cpp";
  Write_File_Bytes(odd, "");
  Write_File_Bytes(bang, "");
  std::filesystem::create_directory(folder);
  Write_File_Bytes(folder + "/a.cpp", "");
  Write_File_Bytes(p.work + "/other.cpp", "");
  std::string stored = p.tools + "/%VELDER_NAME%.exe";
  std::filesystem::copy_file(Helper("record_args_win32.exe"), stored);
  Write_File_Bytes(p.home + "/velder_data.sg", Win_Path(stored) + "\r\n\r\n");
  Options o = Wine_In(p.home);
  o.env.push_back({"VELDER_NAME", "other"});
  std::string input = "2\r\n" + Win_Path(odd) + "\r\n" + Win_Path(bang) + "\r\n" +
                      Win_Path(folder + "/a.cpp") + "\r\n" + Win_Path(missing) + "\r\n" +
                      Win_Path(p.source) + "\r\n" + "1\r\n1\r\n" + Win_Path(p.work) +
                      "\r\n%VELDER_NAME%x\r\n3\r\n4\r\n";
  Result r = Run_Piped(o, input);
  EXPECT_EQ(r.out, Crlf(Main_Page_Text() + SOURCE_PROMPT + Rename("文件", "%VELDER_NAME%.cpp", "%") +
                        Rename("文件", "!VELDER_NAME!.cpp", "!") + Rename("文件夹", "100% 作业", "%") +
                        Rewritten("%") + "\n" +
                        "编译器路径无效！请重新设置。\n\n" + Pause_Text() + Main_Page_Text() +
                        Edit_Page_Text() + DIR_PROMPT + NAME_PROMPT + "\n" +
                        "文件名含有“%”，会被 cmd.exe 改写（当作变量展开），没有创建文件。\n\n" +
                        Pause_Text() + Edit_Page_Text() + Main_Page_Text() + FAREWELL));
  EXPECT_FALSE(Exists(p.tools + "/%VELDER_NAME%.args.txt"));
  EXPECT_FALSE(Exists(p.work + "/%VELDER_NAME%x.cpp"));
  EXPECT_FALSE(Exists(p.work + "/otherx.cpp"));

  // A stored pauser path with "!" counts as no pauser.
  std::string pauser = p.tools + "/!VELDER_NAME!.exe";
  std::filesystem::copy_file(std::string(WINE_BUILD) + "/velder-pauser.exe", pauser);
  Write_File_Bytes(p.home + "/velder_data.sg",
                   Win_Path(p.compiler) + "\r\n" + Win_Path(pauser) + "\r\n");
  r = Run_Piped(o, "2\r\n" + Win_Path(p.source) + "\r\n1\r\n4\r\n");
  EXPECT_NE(r.out.find(Crlf("ConsolePauser 路径无效。即将直接启动程序。\n启动成功！\n")),
            std::string::npos)
      << r.out;
  ASSERT_TRUE(Wait_For(p.work + "/你好 世界.args.txt"));
  EXPECT_EQ(Read_File_Bytes(p.work + "/你好 世界.args.txt"), "\"" + Win_Path(p.exe) + "\" \n--end\n");
}

// A source whose path is over 300 characters long (past the old limit
// of 260) is taken, compiled and started through the pauser: velder and
// the pauser both find it.
TEST(WineSession, LongPathBuildsAndRunsThroughThePauser) {
  Place p;
  std::string dir = p.work;
  for (int i = 0; i < 4; ++i) dir += "/长路径目录 " + std::to_string(i) + " " + std::string(60, 'x');
  std::filesystem::create_directories(dir);
  std::string src = dir + "/你好 世界.cpp", exe = dir + "/你好 世界.exe";
  Write_File_Bytes(src, "int main() { return 0; }\n");
  ASSERT_GT(Win_Path(src).size(), 300u);
  std::string pauser = p.tools + "/velder-pauser.exe";
  std::filesystem::copy_file(std::string(WINE_BUILD) + "/velder-pauser.exe", pauser);
  Write_File_Bytes(p.home + "/velder_data.sg",
                   Win_Path(p.compiler) + "\r\n" + Win_Path(pauser) + "\r\n");
  // Where the program ran: under Wine a program past the limit may run
  // from a stand-in, so its record goes to its working folder.
  Options o = Wine_In(p.home);
  o.env.push_back({"RECORD_ARGS_IN_FOLDER", "1"});
  Result r = Run_Piped(o, "2\r\n" + Win_Path(src) + "\r\n1\r\n4\r\n");
  EXPECT_EQ(r.out, Crlf(Main_Page_Text() + SOURCE_PROMPT + "\n" +
                        "未找到对应程序的 exe 文件，自动编译。\n正在编译……\n编译成功！\n\n" +
                        "是否需要运行？（0/1）\n" + "正在通过 ConsolePauser 启动程序……\n启动成功！\n\n" +
                        Pause_Text() + Main_Page_Text() + FAREWELL));
  EXPECT_TRUE(Exists(exe));
  // The program ran, in its own folder: its record is there, named after
  // the form of its path it was started by (the short one, where the
  // long one is past the limit).
  std::string record;
  for (int i = 0; i < 600 && record.find("--end") == std::string::npos; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    for (const auto& e : std::filesystem::directory_iterator(dir))
      if (e.path().string().find(".args.txt") != std::string::npos)
        record = Read_File_Bytes(e.path().string());
  }
  EXPECT_NE(record.find("\n--end\n"), std::string::npos) << record;
}

// A rebuild while the program built before still runs (started by
// velder, sleeping): asked whether to end it. 0 leaves it running, and
// the compiler cannot write the executable; 1 ends it, and the compile
// succeeds.
TEST(WineSession, RebuildWhileTheProgramRuns) {
  Place p;
  std::filesystem::copy_file(Helper("greeter.exe"), p.exe);
  Write_File_Bytes(p.home + "/velder_data.sg", Win_Path(p.compiler) + "\r\n\r\n");
  Options o = Wine_In(p.home);
  o.env.push_back({"GREETER_SLEEP", "60"});
  std::string source = "2\r\n" + Win_Path(p.source) + "\r\n";
  Result r = Run_Piped(o, source + "0\r\n1\r\n" + source + "1\r\n0\r\n" + source +
                              "1\r\n1\r\n0\r\n4\r\n");
  // The program may write its greeting into the same output.
  std::string out = std::regex_replace(r.out, std::regex("你好，来自 greeter\r?\n"), "");
  std::string ask = "是否需要编译？（0/1）\n";
  std::string running = "该程序仍在运行，它的 exe 文件无法覆盖。是否先结束程序再编译？（0/1）\n";
  EXPECT_EQ(out, Crlf(Main_Page_Text() + SOURCE_PROMPT + "\n" + ask + "跳过编译。\n\n" +
                      "是否需要运行？（0/1）\nConsolePauser 路径无效。即将直接启动程序。\n" +
                      "启动成功！\n\n" + Pause_Text() + Main_Page_Text() + SOURCE_PROMPT + "\n" +
                      ask + running + "正在编译……\n编译失败！\n\n" + Pause_Text() +
                      Main_Page_Text() + SOURCE_PROMPT + "\n" + ask + running +
                      "已结束正在运行的程序。\n正在编译……\n编译成功！\n\n" +
                      "是否需要运行？（0/1）\n跳过运行。\n\n" + Pause_Text() + Main_Page_Text() +
                      FAREWELL));
  EXPECT_EQ(r.status, 0);
  EXPECT_LT(r.seconds, 60) << "the program was not ended";
  // Both compiles were tried; only the second could write the program.
  EXPECT_EQ(Compiles(Read_File_Bytes(p.tools + "/g++.args.txt")).size(), 2u);
}

// Options whose quotes cmd.exe counts odd would leave the paths outside
// its quotes; with a "&" in a path such a line is not run at all. Nor
// is one with a "!" in the options and a "^" in a path, or with a "%"
// (whose value could hold a quote, as here) and either.
TEST(WineSession, OptionsThatWouldUnquoteAPathAreNotRun) {
  Place p;
  std::string dir = p.t / "a&mkdir INJ&^b";
  std::filesystem::create_directory(dir);
  std::string src = dir + "/s.cpp";
  Write_File_Bytes(src, "");
  for (std::string options : {"-DM=\"a\\\"b\"", "-DX=!", "-DX=%VELDER_Q%"}) {
    Write_File_Bytes(p.home + "/velder_data.sg", Win_Path(p.compiler) + "\r\n\r\n" + options);
    Options o = Wine_In(p.home);
    o.env.push_back({"VELDER_Q", "\""});
    Result r = Run_Piped(o, "2\r\n" + Win_Path(src) + "\r\n4\r\n");
    EXPECT_EQ(r.out, Crlf(Main_Page_Text() + SOURCE_PROMPT + "\n" +
                          "未找到对应程序的 exe 文件，自动编译。\n正在编译……\n编译失败！\n\n" +
                          Pause_Text() + Main_Page_Text() + FAREWELL))
        << options;
    EXPECT_NE(r.err.find("没有编译"), std::string::npos) << r.err;
    EXPECT_FALSE(Exists(p.tools + "/g++.args.txt")) << options;
    EXPECT_EQ(Found(p.t.path(), "INJ"), std::vector<std::string>()) << options;
  }
}

// On a console, Ctrl+C while the compiler runs stops the compiler (and
// the cmd.exe before it), not velder, which goes on to its menu. The
// status of the stopped compiler decides what velder reports: Windows
// gives it 0xC000013A, a failed compile, and so does Wine 10; Wine 8
// gives it 0, a success, after which velder asks whether to run the
// program. Either way velder is still there to quit from its menu.
TEST(WineSession, CtrlCStopsTheCompilerNotVelder) {
  Place p;
  std::string slow = p.tools + "/slow.exe";
  std::filesystem::copy_file(Helper("greeter.exe"), slow);
  Write_File_Bytes(p.home + "/velder_data.sg", Win_Path(slow) + "\r\n\r\n");
  Options o = Wine_In(p.home);
  o.env.push_back({"GREETER_SLEEP", "60"});
  o.timeout = 50;
  // Wine draws each character apart: only single ones are waited for.
  // "！" ends the verdict, "）" the question that follows a success; the
  // pause on a console is cmd.exe's own, in Wine's language, and its
  // prompt ends in dots.
  Step run_question{"）", "0\r"};
  run_question.optional = true;
  Result r = Run_Pty(o, {{"退", "2\r", true},
                         {"：", Win_Path(p.source) + "\r"},
                         {"]", "\x03"},
                         {"！", ""},
                         run_question,
                         {".", "k"},
                         {"退", "4\r"}});
  std::string shown = Without_Escapes(r.out);
  EXPECT_FALSE(r.timed_out) << shown;
  bool ok = shown.find("编译成功！") != std::string::npos;
  bool failed = shown.find("编译失败！") != std::string::npos;
  EXPECT_NE(ok, failed) << shown;
  if (ok) {
    EXPECT_NE(shown.find("跳过运行。"), std::string::npos) << shown;
  }
  EXPECT_NE(shown.find("将在 3s 内退出"), std::string::npos) << shown;
  EXPECT_EQ(r.status, 0) << shown;
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
