// velder-setup on its own: the first g++ on the PATH that answers
// --version in time, as GCC or clang, goes into a new settings file with
// the pauser; a settings file already there is left alone and no
// compiler is even asked.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "harness.h"

namespace {

const char SETTINGS[] = "/velder_data.sg";

// A stand-in g++ in its own folder: a shell script that notes its run in
// d/asked and then does what body says.
std::string Stand_In(const Temp_Dir& d, std::string folder, std::string body) {
  std::string dir = d / folder;
  mkdir(dir.c_str(), 0755);
  Write_File_Bytes(dir + "/g++", "#!/bin/sh\necho \"" + dir + "\" >>\"" + d.path() +
                                     "/asked\"\n" + body + "\n");
  chmod((dir + "/g++").c_str(), 0755);
  return dir;
}

Options Setup_Run(const Temp_Dir& d, std::vector<std::string> args, std::string path) {
  Options o = In(d.path());
  o.program = SETUP_BIN;
  o.args = args;
  o.env = {{"PATH", path}};
  return o;
}

// The report for the installer's finish page, UTF-16LE read back as UTF-8.
std::string Report(const Temp_Dir& d) {
  Options o = In(d.path());
  o.program = "/usr/bin/iconv";
  o.args = {"-f", "UTF-16LE", "-t", "UTF-8", d / "report"};
  return Run_Piped(o, "").out;
}

const char WORKS[] = "echo 'g++ (GCC) 13.2.0'; echo 'Copyright (C) 2023 Free Software Foundation, Inc.'";

TEST(Setup, FirstWorkingCompilerOnThePath) {
  Temp_Dir d;
  std::string hangs = Stand_In(d, "hangs", "exec /bin/sleep 60");
  std::string fails = Stand_In(d, "fails", "echo 'g++ (GCC) 13.2.0'; exit 1");
  std::string silent = Stand_In(d, "silent", "exit 0");
  std::string works = Stand_In(d, "编译器 目录", WORKS);
  std::string also = Stand_In(d, "also", WORKS);
  std::string home = d / "home";
  mkdir(home.c_str(), 0755);
  std::string path = d / "missing:" + hangs + ":" + fails + ":" + silent + "/:" + works + ":" + also;
  Result r = Run_Piped(Setup_Run(d, {home, "/opt/velder/velder-pauser", d / "report"}, path), "");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "编译器：" + works + "/g++\n");
  EXPECT_EQ(Report(d), works + "/g++\r\n");
  EXPECT_GE(r.seconds, 5);  // the one that hangs is given its time, then ended
  EXPECT_EQ(Read_File_Bytes(home + SETTINGS), works + "/g++\r\n/opt/velder/velder-pauser\r\n");
  EXPECT_EQ(Read_File_Bytes(d / "asked"), hangs + "\n" + fails + "\n" + silent + "\n" + works + "\n");
}

TEST(Setup, NoCompilerLeavesItsPathEmptyAndAFileThereStays) {
  Temp_Dir d;
  std::string fails = Stand_In(d, "fails", "echo 'Python 3.11.2'");
  Result r = Run_Piped(Setup_Run(d, {d.path(), "p a u s e r", d / "report"}, fails + ":" + d / "none"), "");
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_EQ(Report(d), "\r\n");
  EXPECT_EQ(r.out, "未找到可用的编译器（g++.exe），编译器路径留空。\n");
  EXPECT_EQ(Read_File_Bytes(d.path() + SETTINGS), "\r\np a u s e r\r\n");

  // Once a settings file is there it stays, and no compiler is even run.
  Write_File_Bytes(d.path() + SETTINGS, "mine\r\n\r\n-O2");
  std::string works = Stand_In(d, "works", WORKS);
  r = Run_Piped(Setup_Run(d, {d.path(), "p", d / "report"}, works), "");
  EXPECT_EQ(r.status, 2) << r.err;
  EXPECT_EQ(Report(d), "mine\r\n");  // the compiler of the file kept
  EXPECT_EQ(r.out, "已有设置文件，保持不变。\n");
  EXPECT_EQ(Read_File_Bytes(d.path() + SETTINGS), "mine\r\n\r\n-O2");
  EXPECT_EQ(Read_File_Bytes(d / "asked"), fails + "\n");
}

}  // namespace
