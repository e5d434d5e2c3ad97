// Hostile lines at every prompt of every screen, through the real
// program and a pipe: each gets the prompt's own answer (its message, or
// for a free text its acceptance), then the input ends, and the program
// ends as it does at the end of input. Never a crash, a hang, a status
// other than 0 or 1, a file nobody asked for, or a changed settings file.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <unordered_set>

#include "harness.h"
#include "pages.h"

namespace {

enum class Kind { menu, yes_no, path, name, options };

struct Prompt {
  const char* name;
  std::string input;  // the answers that lead to the prompt
  std::string after;  // the text the prompt ends with on the transcript
  Kind kind;
  std::unordered_set<int> allowed;  // for menus and yes/no questions
};

std::vector<Prompt> Prompts() {
  return {
      {"main_menu", "", Main_Page_Text(), Kind::menu, {1, 2, 3, 4}},
      {"edit_menu", "1\n", Edit_Page_Text(), Kind::menu, {1, 2, 3}},
      {"new_file_directory", "1\n1\n", DIR_PROMPT, Kind::path, {}},
      {"new_file_name", "1\n1\n.\n", NAME_PROMPT, Kind::name, {}},
      {"open_file", "1\n2\n", OPEN_PROMPT, Kind::path, {}},
      {"run_source", "2\n", "请输入 C++ 文件的完整路径：\n", Kind::path, {}},
      {"run_compile_question", "2\na.cpp\n", "是否需要编译？（0/1）\n", Kind::yes_no, {0, 1}},
      {"run_run_question", "2\na.cpp\n0\n", "是否需要运行？（0/1）\n", Kind::yes_no, {0, 1}},
      {"settings_menu", "3\n", Settings_Page_Text(), Kind::menu, {1, 2, 3, 4, 5}},
      {"set_compiler", "3\n1\n", "请输入新编译器路径：\n", Kind::path, {}},
      {"set_pauser", "3\n2\n", "请输入新 ConsolePauser 路径：\n", Kind::path, {}},
      {"set_options", "3\n3\n", "请输入新编译选项：\n", Kind::options, {}},
  };
}

// The lines, each sent with a line feed after it.
std::vector<std::string> Hostile_Lines() {
  return {
      "\xff\xfe\xc3\x28\xed\xa0\x80\xf4\x90\x80\x80",  // not UTF-8
      std::string("1\0" "2", 3),
      std::string(1, '\0'),
      std::string(10 << 20, 'A'),  // 10 MB
      "\r\r\r",
      "\r",  // with the line feed: an empty line
      "\x1b[2J\x1b]0;owned\a\x1b[6n\x9b" "31m",
      "$(touch pwned)",
      "`touch pwned`",
      "; touch pwned | cat & exit 0",
      "%s%n%x%p",
      "..\\..\\..\\windows\\system32",
  };
}

const std::string SETTINGS_FILE = std::string("__COMPILER__\r\n\r\n-O2");

// A directory with a source, its program and a settings file naming the
// fake compiler, so that every screen of the build can be reached.
void Prepare(const Temp_Dir& d) {
  std::string s = SETTINGS_FILE;
  s.replace(0, 12, Helper("fake_compiler"));
  Write_File_Bytes(d / "velder_data.sg", s);
  Write_File_Bytes(d / "a.cpp", "int main() {}\n");
  Write_File_Bytes(d / "a.exe", "not a program\n");
}

std::vector<std::string> Entries(const std::string& dir) {
  std::vector<std::string> v;
  for (auto& e : std::filesystem::directory_iterator(dir)) v.push_back(e.path().filename().string());
  std::sort(v.begin(), v.end());
  return v;
}

const std::vector<std::string> PREPARED = {"a.cpp", "a.exe", "velder_data.sg"};

// The answer to a refused choice, as the rules state it; "" when taken.
std::string Choice_Message(const std::string& s, const std::unordered_set<int>& allowed) {
  if (!std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return DIGIT_MESSAGE;
  if (s.size() > 9 || !allowed.count(s.empty() ? 0 : std::stoi(s))) return RANGE_MESSAGE;
  return "";
}

std::string Shown(const std::string& s) {
  return s.size() > 80 ? s.substr(0, 40) + "...(" + std::to_string(s.size()) + " bytes)" : s;
}

void PrintTo(const Prompt& p, std::ostream* os) { *os << p.name; }

class AtEveryPrompt : public testing::TestWithParam<Prompt> {};

TEST_P(AtEveryPrompt, EndOfInputAndHostileLines) {
  const Prompt& p = GetParam();
  Temp_Dir base;
  Prepare(base);
  std::string settings = Read_File_Bytes(base / "velder_data.sg");

  // The end of input right at the prompt.
  Result b = Run_Piped(In(base.path()), p.input);
  ASSERT_FALSE(b.timed_out);
  EXPECT_EQ(b.status, 1) << b.out;
  EXPECT_NE(b.err, "");
  std::size_t at = b.out.rfind(p.after);
  ASSERT_NE(at, std::string::npos) << b.out;
  at += p.after.size();
  if (p.kind != Kind::yes_no) {
    EXPECT_EQ(at, b.out.size()) << "nothing after the prompt";
  }
  EXPECT_EQ(Read_File_Bytes(base / "velder_data.sg"), settings);
  EXPECT_EQ(Entries(base.path()), PREPARED);

  for (const std::string& line : Hostile_Lines()) {
    Temp_Dir d;
    Prepare(d);
    Result r = Run_Piped(In(d.path()), p.input + line + "\n");
    ASSERT_FALSE(r.timed_out) << Shown(line);
    EXPECT_EQ(r.status, 1) << Shown(line);
    std::string head = b.out.substr(0, at);
    ASSERT_EQ(r.out.substr(0, at), head) << Shown(line);
    std::string rest = r.out.substr(at);
    std::vector<std::string> entries = PREPARED;

    std::string read = line;  // what the line reader makes of it
    if (!read.empty() && read.back() == '\r') read.pop_back();
    if (p.kind == Kind::menu || p.kind == Kind::yes_no) {
      EXPECT_EQ(rest, Choice_Message(read, p.allowed) + b.out.substr(at)) << Shown(line);
    } else if (p.kind == Kind::path) {
      EXPECT_EQ(rest, NO_PATH) << Shown(line);
    } else if (p.kind == Kind::options) {
      EXPECT_EQ(rest, SET_OK + Pause_Text() + Cls_Dumb() + Settings_Page_Text()) << Shown(line);
    } else {
      // A name: created in the directory given, or refused; nothing else.
      std::string tail = Pause_Text() + Cls_Dumb() + Edit_Page_Text();
      if (rest == "\n" + std::string(CREATED) + tail) {
        entries.push_back(read + ".cpp");
        std::sort(entries.begin(), entries.end());
        EXPECT_EQ(Read_File_Bytes(d / (read + ".cpp")), "") << Shown(line);
      } else {
        EXPECT_EQ(rest, "\n" + std::string(FAILED) + tail) << Shown(line);
      }
    }
    EXPECT_EQ(Read_File_Bytes(d / "velder_data.sg"), settings) << Shown(line);
    EXPECT_EQ(Entries(d.path()), entries) << Shown(line);
  }
}

INSTANTIATE_TEST_SUITE_P(Screens, AtEveryPrompt, testing::ValuesIn(Prompts()),
                         [](const testing::TestParamInfo<Prompt>& i) { return i.param.name; });

TEST(Hostile, ThousandWrongChoicesThenAGoodOne) {
  Temp_Dir d;
  std::string input, expected = Cls_Dumb() + Main_Page_Text();
  const char* wrong[] = {"5", "x", "", "-1", "0000000001", "\xe4\xb8\x80"};
  for (int i = 0; i < 1000; ++i) {
    std::string w = wrong[i % 6];
    input += w + "\n";
    expected += w == "5" || w == "" || w == "0000000001" ? RANGE_MESSAGE : DIGIT_MESSAGE;
  }
  Result r = Run_Piped(In(d.path()), input + "4\n");
  EXPECT_FALSE(r.timed_out);
  EXPECT_EQ(r.out, expected + Cls_Dumb() + FAREWELL);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(Entries(d.path()), std::vector<std::string>{"velder_data.sg"});
}

TEST(Hostile, ThousandWrongPathsThenAGoodOne) {
  Temp_Dir d;
  Prepare(d);
  std::string input = "3\n1\n", messages;
  for (int i = 0; i < 1000; ++i) {
    input += i % 2 ? "missing-" + std::to_string(i) + "\n" : ".\n";
    messages += i % 2 ? NO_PATH : NOT_FILE;
  }
  std::string compiler = Helper("fake_compiler");
  Result r = Run_Piped(In(d.path()), input + compiler + "\n5\n4\n");
  EXPECT_FALSE(r.timed_out);
  EXPECT_NE(r.out.find("请输入新编译器路径：\n" + messages + SET_OK), std::string::npos);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(Read_File_Bytes(d / "velder_data.sg"), compiler + "\r\n\r\n-O2");
  EXPECT_EQ(Entries(d.path()), PREPARED);
}

// Options typed with every character a shell would act on reach the
// compiler as words, are saved byte for byte, and run nothing.
TEST(Hostile, OptionsReachNoShell) {
  Temp_Dir d;
  Prepare(d);
  std::string opts = "$(touch pwned1) `touch pwned2` ;touch pwned3 | x & y %s%n \x1b[2J \"a b\" \xff";
  Options o = In(d.path());
  o.env = {{"FAKE_COMPILER_LOG", d / "compiler.log"}};
  Result r = Run_Piped(o, "3\n3\n" + opts + "\n5\n2\na.cpp\n1\n0\n4\n");
  EXPECT_FALSE(r.timed_out);
  EXPECT_EQ(r.status, 0) << r.err;
  std::string log = Read_File_Bytes(d / "compiler.log");
  EXPECT_NE(log.find("][$(touch][pwned1)][`touch][pwned2`][;touch][pwned3][|][x][&][y][%s%n][\x1b[2J][a b][\xff]["),
            std::string::npos)
      << log;
  EXPECT_EQ(Read_File_Bytes(d / "velder_data.sg"), Helper("fake_compiler") + "\r\n\r\n" + opts);
  for (std::string f : {"pwned1", "pwned2", "pwned3", "x", "y"}) EXPECT_FALSE(Exists(d / f)) << f;
}

}  // namespace
