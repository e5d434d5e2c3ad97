#include <chrono>

#include <gtest/gtest.h>

#include "console/console.h"
#include "stdio_capture.h"

namespace {

const std::string DIGIT = "输入不是自然数，请重新输入。\n";
const std::string RANGE = "输入不在给定范围内，请重新输入。\n";
const std::unordered_set<int> MENU = {1, 2, 3, 4};
const std::unordered_set<int> YES_NO = {0, 1};

// The answer Read_Pint returns for input, and what it printed before.
int Answer(const std::string& input, std::unordered_set<int> a, std::string* printed = nullptr) {
  Fake_Stdin in(input);
  Capture_Stdout out;
  int r = Read_Pint(a);
  if (printed) *printed = out.str();
  return r;
}

double Seconds_Of(void (*f)()) {
  auto t0 = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

TEST(ReadPint, AcceptsPlainNumbersInTheSet) {
  EXPECT_EQ(Answer("3\n", MENU), 3);
  EXPECT_EQ(Answer("03\n", MENU), 3);
  EXPECT_EQ(Answer("000000003\n", MENU), 3);
  EXPECT_EQ(Answer("4", MENU), 4);  // a last line without LF
  EXPECT_EQ(Answer("2\r\n", MENU), 2);
}

TEST(ReadPint, DigitMessageForAnyNonDigit) {
  for (std::string bad : std::initializer_list<std::string>{" 1", "1 ", "+1", "-1", "1.0", "中", "\xef\xbc\x91", "abc12345678901",
                          "1\t", "\r1", std::string("1\0", 2)}) {
    std::string printed;
    EXPECT_EQ(Answer(bad + "\n2\n", MENU, &printed), 2) << bad;
    EXPECT_EQ(printed, DIGIT) << bad;
  }
}

TEST(ReadPint, RangeMessageForLongOrOutsideLines) {
  for (std::string bad : {"0000000003", "12345678901", "5", "0", "", "999999999"}) {
    std::string printed;
    EXPECT_EQ(Answer(bad + "\n1\n", MENU, &printed), 1) << bad;
    EXPECT_EQ(printed, RANGE) << bad;
  }
}

TEST(ReadPint, EmptyLineIsZeroForYesNo) {
  EXPECT_EQ(Answer("\n", YES_NO), 0);
  EXPECT_EQ(Answer("0\n", YES_NO), 0);
  EXPECT_EQ(Answer("1\n", YES_NO), 1);
}

TEST(ReadPint, EarlierRejectedLinesHaveNoEffect) {
  std::string printed;
  EXPECT_EQ(Answer("x\n7\n12345678901\n3\n1\n", MENU, &printed), 3);
  EXPECT_EQ(printed, DIGIT + RANGE + RANGE);
}

TEST(ReadPint, EndOfInputIsNoForYesNo) {
  std::string printed;
  EXPECT_EQ(Answer("", YES_NO, &printed), 0);
  EXPECT_EQ(Answer("5\n", YES_NO, &printed), 0);
  EXPECT_EQ(printed, RANGE);
}

TEST(ReadPintDeathTest, EndOfInputAtAMenuEndsTheProgram) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(Answer("9\n", MENU), testing::ExitedWithCode(1), "");
}

TEST(Wait, CountsWholeMicrosecondsTruncated) {
  EXPECT_EQ(Wait_Microseconds(0.001), 1000);
  EXPECT_EQ(Wait_Microseconds(2.5), 2500000);
  EXPECT_EQ(Wait_Microseconds(0.0015), 1500);
  EXPECT_EQ(Wait_Microseconds(0.0000005), 0);
  EXPECT_EQ(Wait_Microseconds(0.0000019), 1);
  EXPECT_EQ(Wait_Microseconds(0), 0);
  EXPECT_EQ(Wait_Microseconds(-1), 0);
}

TEST(Wait, SleepsAtLeastTheCount) {
  EXPECT_GE(Seconds_Of([] { Wait(0.0015); }), 0.0015);
  EXPECT_GE(Seconds_Of([] { Wait(0.05); }), 0.05);
}

TEST(Print, WritesTheBytesThenTheLineFeeds) {
  Capture_Stdout out;
  Print("3. 设置", 1);
  Print("", 1);
  Print("abc", 0);
  Print("x", 2);
  EXPECT_EQ(out.str(), "3. 设置\n\nabcx\n\n");
}

TEST(Print, TakesAtLeastOneMillisecondPerByte) {
  Capture_Stdout out;
  // 60 bytes of Chinese text and 60 ASCII bytes: the same time, byte count.
  EXPECT_GE(Seconds_Of([] { Print("输入不在给定范围内，请重新输入。中文中文", 0); }), 0.060);
  EXPECT_GE(Seconds_Of([] { Print(std::string(60, 'a'), 0); }), 0.060);
}

TEST(PrintPage, HeaderRuleAndOptions) {
  Capture_Stdout out;
  Print_Page(35, "Tarnwickshade -- 编辑 C++ 文件", {"1. 新建 C++ 文件", "2. 打开已有 C++ 文件", "3. 返回"});
  EXPECT_EQ(out.str(), std::string(35, ' ') + "Tarnwickshade -- 编辑 C++ 文件\n" +
                           std::string(100, '-') +
                           "\n1. 新建 C++ 文件\n2. 打开已有 C++ 文件\n3. 返回\n\n");
}

}  // namespace
