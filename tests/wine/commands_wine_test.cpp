// velder's Windows requests under Wine, through the run_command helper:
// the pause without a console, the compile and launch rendered into
// cmd.exe lines that arrive as UTF-16, and console input read as UTF-16.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "wine.h"

namespace {

std::string Run_Command_Exe() { return Helper("run_command.exe"); }

// A copy of the fake compiler at dir/name.
std::string Install_Compiler(const std::string& dir, const std::string& name) {
  std::filesystem::create_directories(dir);
  std::string to = dir + "/" + name;
  std::filesystem::copy_file(Helper("record_args_win32.exe"), to);
  return to;
}

// Waits for a file that a program started with "start" writes on its own.
bool Wait_For(const std::string& path) {
  for (int i = 0; i < 600 && !Exists(path); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));  // let it finish writing
  return Exists(path);
}

TEST(WineCommands, PauseWithoutAConsoleReadsNothing) {
  Temp_Dir d;
  Options o = Wine_In(d.path(), Run_Command_Exe());
  o.args.insert(o.args.end(), {"pause", "read", "pause", "read", "read"});
  Result r = Run_Piped(o, "abc\r\nd\r\n");
  EXPECT_EQ(r.out, Pause_Wine() + "[abc]\r\n" + Pause_Wine() + "[d]\r\n[end]\r\n");
  EXPECT_EQ(r.status, 0);
}

// The compile line as velder builds it, with Chinese characters and
// spaces in every path: cmd.exe gets it as UTF-16 and the compiler sees
// exactly its options, "-g", "-o" and the two paths.
TEST(WineCommands, CompileLineReachesTheCompilerIntact) {
  Temp_Dir t;
  std::string tools = t / "工具 目录", work = t / "作业 1";
  Install_Compiler(tools, "g++.exe");
  std::filesystem::create_directory(work);
  Write_File_Bytes(work + "/你好 世界.cpp", "int main() {}\n");
  std::string exe = Win_Path(work + "/你好 世界.exe"), src = Win_Path(work + "/你好 世界.cpp");
  for (std::string status : {"0", "3"}) {
    std::string options = "-O2 -DNAME=\"名字\" --exit=" + status;
    std::string inner = "\"" + Win_Path(tools + "/g++.exe") + "\" " + options + " -g -o \"" + exe +
                        "\" \"" + src + "\"";
    Options o = Wine_In(t.path(), Run_Command_Exe());
    o.args.push_back("compile");
    Result r = Run_Piped(o, Win_Path(tools + "/g++.exe") + "\r\n" + options + "\r\n" + exe + "\r\n" +
                                src + "\r\n");
    EXPECT_EQ(r.status, std::stoi(status));
    EXPECT_EQ(Read_File_Bytes(tools + "/g++.args.txt"),
              inner + "\n-O2\n-DNAME=名字\n--exit=" + status + "\n-g\n-o\n" + exe + "\n" + src +
                  "\n--end\n");
    EXPECT_TRUE(Exists(work + "/你好 世界.exe"));
    std::filesystem::remove(tools + "/g++.args.txt");
  }
}

TEST(WineCommands, RequestThatIsNotUtf8RunsNothing) {
  Temp_Dir d;
  Options o = Wine_In(d.path(), Run_Command_Exe());
  o.args.push_back("compile");
  Result r = Run_Piped(o, "cmd\r\n/c mkdir \xff\xfe &\r\na.exe\r\na.cpp\r\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(std::filesystem::is_empty(d.path()));
}

// Headless Wine opens no window, but "start" still starts the program,
// given the path as typed, and returns at once with status 0.
TEST(WineCommands, StartRunsTheProgram) {
  Temp_Dir t;
  std::string work = t / "作业 1";
  Install_Compiler(work, "你好 世界.exe");
  std::string exe = Win_Path(work + "/你好 世界.exe");
  Options o = Wine_In(t.path(), Run_Command_Exe());
  o.args.push_back("launch");
  Result r = Run_Piped(o, "\r\n" + exe + "\r\n" + Win_Path(work + "/你好 世界.cpp") + "\r\n");
  EXPECT_EQ(r.status, 0);
  ASSERT_TRUE(Wait_For(work + "/你好 世界.args.txt"));
  EXPECT_EQ(Read_File_Bytes(work + "/你好 世界.args.txt"), "\"" + exe + "\" \n--end\n");
}

// Under a terminal Wine gives the program a console: lines then come
// through ReadConsoleW, Chinese text intact. (Wine's console turns a
// Ctrl+Z line into an empty line, so the end of console input cannot be
// shown here.)
TEST(WineCommands, ConsoleLinesArriveAsUtf8) {
  Temp_Dir d;
  Options o = Wine_In(d.path(), Helper("read_lines_win32.exe"));
  o.args.push_back("3");
  o.timeout = 60;
  // Wine's console takes the terminal out of line mode a moment after it
  // starts; a line typed before that would end in LF, not Enter. It
  // draws each character apart, so only single ones are waited for.
  Result r = Run_Pty(o, {{">", "你好 世界\r", true},
                         {"]", ""},
                         {">", "abc\r"},
                         {"]", ""},
                         {">", "\r"}});
  std::string shown = Without_Escapes(r.out);
  EXPECT_NE(shown.find("[e4bda0e5a5bd20e4b896e7958c]\r\r\n> abc\r\r\n[616263]\r\r\n> \r\r\n[]"),
            std::string::npos)
      << shown;
  EXPECT_EQ(r.status, 0);
}

}  // namespace
