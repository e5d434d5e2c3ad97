// The main page, its choices and the way out, driven through a pipe and
// through a terminal.
#include <gtest/gtest.h>
#include <sys/xattr.h>

#include "harness.h"

namespace {

std::string Hidden_Attribute(const std::string& path) {
  char v[16] = {};
  ssize_t n = getxattr(path.c_str(), "user.DOSATTRIB", v, sizeof v);
  return n > 0 ? std::string(v, n) : std::string();
}

TEST(MainLoop, FreshStartAndQuit) {
  Temp_Dir d;
  Result r = Run_Piped(In(d.path()), "4\n");
  EXPECT_EQ(r.out, Cls_Dumb() + Main_Page_Text() + Cls_Dumb() + FAREWELL);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.status, 0);
  EXPECT_GE(r.seconds, 2.5);
  EXPECT_EQ(Read_File_Bytes(d / "velder_data.sg"), "\r\n\r\n");
  EXPECT_EQ(Hidden_Attribute(d / "velder_data.sg"), "0x2");
}

TEST(MainLoop, InvalidChoicesKeepThePage) {
  Temp_Dir d;
  Result r = Run_Piped(In(d.path()), "5\n0\na\n\n 1\n１\n0000000004\n004\n");
  EXPECT_EQ(r.out, Cls_Dumb() + Main_Page_Text() + RANGE_MESSAGE + RANGE_MESSAGE + DIGIT_MESSAGE +
                       RANGE_MESSAGE + DIGIT_MESSAGE + DIGIT_MESSAGE + RANGE_MESSAGE + Cls_Dumb() +
                       FAREWELL);
  EXPECT_EQ(r.status, 0);
}

TEST(MainLoop, CrLfAnswersWork) {
  Temp_Dir d;
  Result r = Run_Piped(In(d.path()), "4\r\n");
  EXPECT_EQ(r.out, Cls_Dumb() + Main_Page_Text() + Cls_Dumb() + FAREWELL);
  EXPECT_EQ(r.status, 0);
}

TEST(MainLoop, EndOfInputAtTheMenuEndsWithoutSaving) {
  for (std::string input : {"", "7\n", "x"}) {
    Temp_Dir d;
    Write_File_Bytes(d / "velder_data.sg", "a\r\nb\r\nc");
    Result r = Run_Piped(In(d.path()), input);
    std::string expected = Cls_Dumb() + Main_Page_Text();
    if (input == "7\n") expected += RANGE_MESSAGE;
    if (input == "x") expected += DIGIT_MESSAGE;
    EXPECT_EQ(r.out, expected) << input;
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err, "");
    EXPECT_EQ(Read_File_Bytes(d / "velder_data.sg"), "a\r\nb\r\nc");
  }
}

TEST(MainLoop, SettingsAreLoadedAndWrittenBackWithCrLf) {
  Temp_Dir d;
  Write_File_Bytes(d / "velder_data.sg", "/usr/bin/g++\nC:\\p p\\pauser.exe\n-O2\nextra\nlines\n");
  Result r = Run_Piped(In(d.path()), "4\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(Read_File_Bytes(d / "velder_data.sg"), "/usr/bin/g++\r\nC:\\p p\\pauser.exe\r\n-O2");
}

TEST(MainLoop, SmartTerminal) {
  Temp_Dir d;
  Options o = In(d.path());
  o.env = {{"TERM", "xterm"}};
  Result r = Run_Pty(o, {{"4. 保存信息并退出\r\n\r\n", "4\r"}});
  EXPECT_EQ(r.out, "\x1b]0;Velder\a" + Cls_Smart() + Onlcr(Main_Page_Text()) + "4\r\n" +
                       Cls_Smart() + Onlcr(FAREWELL));
  EXPECT_EQ(r.status, 0);
  EXPECT_GE(r.seconds, 2.5);
}

TEST(MainLoop, DumbTerminal) {
  Temp_Dir d;
  Options o = In(d.path());
  o.env = {{"TERM", "dumb"}};
  Result r = Run_Pty(o, {{"4. 保存信息并退出\r\n\r\n", "x\r"}, {"重新输入。\r\n", "4\r"}});
  EXPECT_EQ(r.out, Cls_Dumb() + Onlcr(Main_Page_Text()) + "x\r\n" + Onlcr(DIGIT_MESSAGE) +
                       "4\r\n" + Cls_Dumb() + Onlcr(FAREWELL));
  EXPECT_EQ(r.status, 0);
}

}  // namespace
