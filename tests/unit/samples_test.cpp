// The judge's rules: which files are sample cases and their answers, and
// how an output compares with an answer, with the first differing line as
// it is shown.
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "samples.h"

namespace {

class Samples : public testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = "/tmp/veldersamplesXXXXXX";
    ASSERT_NE(mkdtemp(&tmpl[0]), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string File(const std::string& name, const std::string& bytes) {
    std::ofstream(dir_ + "/" + name, std::ios::binary) << bytes;
    return dir_ + "/" + name;
  }
  std::string dir_;
};

TEST_F(Samples, CasesAndTheirAnswersByName) {
  for (const char* name : {"a.in", "a.ans", "a.out", "a1.in", "a1.out", "a_2.in", "A3.IN", "a3.ANS",
                           "a3.out", "a10.in", "a010.ans", "ab.in", "a_x.in", "a_.in", "a2.txt", "b.in"})
    File(name, "");
  std::filesystem::create_directory(dir_ + "/a4.in");
  std::vector<std::pair<std::string, std::string>> got;
  for (const Sample& s : Find_Samples(dir_, "a")) {
    EXPECT_EQ(s.input, dir_ + "/" + s.name);
    got.push_back({s.name, s.answer.empty() ? "" : s.answer.substr(dir_.size() + 1)});
  }
  std::vector<std::pair<std::string, std::string>> want = {
      {"a.in", "a.ans"}, {"a1.in", "a1.out"}, {"a_2.in", ""}, {"A3.IN", "a3.ANS"}, {"a10.in", ""}};
  EXPECT_EQ(got, want);
  // The bare a.out is never an answer: it is what the program writes.
  std::filesystem::remove(dir_ + "/a.ans");
  EXPECT_EQ(Find_Samples(dir_, "a")[0].answer, "");
  // The exact name first, wherever the system tells letter cases apart;
  // another case only when there is no exact one.
  for (const char* name : {"c1.in", "C1.ans", "c1.ans", "C1.in", "c2.in", "C2.ANS", "c3.IN", "c3.ANS", "c3.ans"})
    File(name, "");
  got.clear();
  for (const Sample& s : Find_Samples(dir_, "c")) got.push_back({s.name, s.answer.substr(dir_.size() + 1)});
  want = {{"C1.in", "C1.ans"}, {"c1.in", "c1.ans"}, {"c2.in", "C2.ANS"}, {"c3.IN", "c3.ans"}};
  EXPECT_EQ(got, want);
  EXPECT_EQ(Program_Stem("Hello.EXE"), "Hello");
  EXPECT_EQ(Program_Stem("hello"), "hello");
  EXPECT_EQ(Output_Limit(-1), 64 << 20);
  EXPECT_EQ(Output_Limit(10), 1 << 20);
  EXPECT_EQ(Output_Limit(1 << 20), 8 << 20);
  EXPECT_EQ(Output_Limit(100 << 20), 64 << 20);
}

TEST_F(Samples, Comparison) {
  struct Case {
    std::string answer, output;
    Match match;
    long long line;
    std::string expected, actual;
  };
  const std::string a200(200, 'a');
  const Case cases[] = {
      {"1 2\n", "1 2\n", Match::same, 0, "", ""},
      {"1 2\n", "1 2", Match::same, 0, "", ""},
      {"1 2\n3\n", "1 2\r\n3\r\n", Match::same, 0, "", ""},
      {"1 2\n3\n", "1 2\r3\r", Match::same, 0, "", ""},
      {"1 2\n3\n", "1 2 \t\n3  ", Match::same, 0, "", ""},
      {"1 2\n", "1 2\n\n \n\t\r\n", Match::same, 0, "", ""},
      {"1 2\n\n\n", "1 2", Match::same, 0, "", ""},
      {"", "\n\n", Match::same, 0, "", ""},
      {"1 2\n", "1  2\n", Match::format, 1, "1 2", "1  2"},
      {"1 2\n", " 1 2\n", Match::format, 1, "1 2", " 1 2"},
      {"1\t2\n", "1 2\n", Match::format, 1, "1\\t2", "1 2"},
      {"a\nb\n", "a\n\nb\n", Match::format, 2, "b", "（空行）"},
      {"a\n", "\na\n", Match::format, 1, "a", "（空行）"},
      {"1 2\n", "1\n2\n", Match::format, 1, "1 2", "1"},
      {"1 2\n", "1 3\n", Match::different, 1, "1 2", "1 3"},
      {"12 3\n", "1 23\n", Match::different, 1, "12 3", "1 23"},
      {"a\nb\n", "a\n", Match::different, 2, "b", "（没有这一行）"},
      {"a\n", "a\n\n\nb", Match::different, 4, "（没有这一行）", "b（末尾没有换行）"},
      {"\n\na\n", " \n\n", Match::different, 3, "a", "（没有这一行）"},
      {"a\nx\n", "a\ny ", Match::different, 2, "x", "y （行末有空格）（末尾没有换行）"},
      {"", "a", Match::different, 1, "（没有这一行）", "a（末尾没有换行）"},
      {"\x01\xff 你\n", "\x01\xff 他\n", Match::different, 1, "\\x01\\xFF 你", "\\x01\\xFF 他"},
      {a200 + "b\n", a200 + "c\n", Match::different, 1, "..." + std::string(21, 'a') + "b",
       "..." + std::string(21, 'a') + "c"},
      {"b" + a200 + "\n", "c" + a200 + "\n", Match::different, 1, "b" + std::string(64, 'a') + "...",
       "c" + std::string(64, 'a') + "..."},
  };
  for (const Case& c : cases) {
    Comparison r = Compare_Files(File("out", c.output), File("ans", c.answer));
    std::string what = "answer \"" + c.answer + "\", output \"" + c.output + "\"";
    EXPECT_EQ(r.match, c.match) << what;
    if (c.match == Match::same) continue;
    EXPECT_EQ(r.first.line, c.line) << what;
    EXPECT_EQ(r.first.expected, c.expected) << what;
    EXPECT_EQ(r.first.actual, c.actual) << what;
  }
}

}  // namespace
