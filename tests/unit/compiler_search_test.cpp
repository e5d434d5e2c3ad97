#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>
#include <unistd.h>

#include "config/compiler_search.h"

namespace fs = std::filesystem;

namespace {

TEST(CompilerSearch, NamesCompiler) {
  struct Case {
    const char* text;
    bool names;
  };
  const Case cases[] = {
      {"g++ (Debian 12.2.0-14) 12.2.0\nCopyright (C) 2022 Free Software Foundation, Inc.\n", true},
      {"g++.exe (Rev3, Built by MSYS2 project) 13.2.0\r\n", true},
      {"C:\\TDM-GCC-64\\bin\\G++.EXE (tdm64-1) 10.3.0\r\n", true},
      {"x86_64-w64-mingw32-g++ (GCC) 12-posix\n", false},  // no dotted version
      {"x86_64-w64-mingw32-g++ (GCC) 12.2.0\n", true},
      {"\r\n\ng++ (GCC) 13.2.1 20230801\n", true},  // blank lines before
      {"clang version 17.0.6\nTarget: x86_64-w64-windows-gnu\n", true},
      {"Apple clang version 15.0.0 (clang-1500.1.0.2.5)\n", true},
      {"", false},
      {"\n\n", false},
      {"g++\n", false},
      {"g++: fatal error: no input files 1.2\n", false},
      {"ccache version 4.8.3\n", false},
      {"Python 3.11.2\n", false},
      {"g++ 不是内部或外部命令\n", false},
      {"GNU Make 4.4\nthen g++ (GCC) 13.2.0\n", false},  // only the first line counts
  };
  for (const Case& c : cases) EXPECT_EQ(Names_Compiler(c.text), c.names) << c.text;
}

TEST(CompilerSearch, SplitSearchPath) {
  struct Case {
    const char* value;
    char sep;
    std::vector<std::string> folders;
  };
  const Case cases[] = {
      {"", ':', {}},
      {"/usr/local/bin:/usr/bin/::/bin", ':', {"/usr/local/bin", "/usr/bin", "/bin"}},
      {"/:/opt/x//", ':', {"", "/opt/x"}},
      {"\"/opt/a b\":/c", ':', {"/opt/a b", "/c"}},
      {"\"", ':', {"\""}},
  };
  for (const Case& c : cases) EXPECT_EQ(Split_Search_Path(c.value, c.sep), c.folders) << c.value;
}

TEST(CompilerSearch, OrderUserPathMachinePathDrivesProgramFolders) {
  platform::Compiler_Places p;
  p.user_path = "/u1:/shared";
  p.machine_path = "/m1:/shared:/u1/";
  p.list_separator = ':';
  p.drives = {"C:", "D:"};
  p.program_folders = {"/pf/Tools"};
  std::vector<std::string> want = {"/u1", "/shared", "/m1"};
  for (std::string d : {"C:", "D:"})
    for (std::string f : {"msys64/ucrt64/bin", "msys64/mingw64/bin", "msys64/clang64/bin",
                          "MinGW/bin", "mingw64/bin", "TDM-GCC-64/bin", "w64devkit/bin"})
      want.push_back(d + "/" + f);
  for (std::string b : {"MinGW64", "MinGW", "TDM-GCC-64", "mingw32"})
    want.push_back("/pf/Tools/" + b + "/bin");
  EXPECT_EQ(Search_Order(p), want);
}

// Only regular files are asked, in order, and the first that works wins.
TEST(CompilerSearch, FirstWorking) {
  fs::path t = fs::temp_directory_path() / ("velder-search-" + std::to_string(getpid()));
  fs::remove_all(t);
  for (const char* d : {"a", "b", "c", "d", "e"}) fs::create_directories(t / d);
  fs::create_directory(t / "a" / "g++");  // a folder of that name
  for (const char* d : {"b", "c", "d"}) std::ofstream(t / d / "g++") << d;
  std::vector<std::string> folders;
  for (const char* d : {"a", "missing", "b", "c", "d", "e"}) folders.push_back((t / d).string());
  std::vector<std::string> asked;
  auto works = [&](std::string path) {
    asked.push_back(path);
    return path.find("/c/") != std::string::npos || path.find("/d/") != std::string::npos;
  };
  EXPECT_EQ(First_Working(folders, "g++", works), (t / "c" / "g++").string());
  EXPECT_EQ(asked, (std::vector<std::string>{(t / "b" / "g++").string(), (t / "c" / "g++").string()}));
  EXPECT_EQ(First_Working(folders, "g++", [](std::string) { return false; }), "");
  fs::remove_all(t);
}

}  // namespace
