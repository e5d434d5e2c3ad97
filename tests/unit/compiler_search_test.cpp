#include <gtest/gtest.h>

#include "config/compiler_search.h"

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
      {"\r\n\ng++ (GCC) 13.2.1 20230801\n", true},  // blank lines before
      {"clang version 17.0.6\nTarget: x86_64-w64-windows-gnu\n", true},
      {"Apple clang version 15.0.0 (clang-1500.1.0.2.5)\n", true},
      {"", false},
      {"g++\n", false},
      {"g++: fatal error: no input files 1.2\n", false},
      {"ccache version 4.8.3\n", false},
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

}  // namespace
