// The command lines of build and run, byte for byte.
#include <gtest/gtest.h>

#include "build/commands.h"
#include "platform/files.h"

namespace {

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

}  // namespace
