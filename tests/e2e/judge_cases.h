// The sample judge's cases, one table for the Linux suite and the Wine
// suite: each runs them with its own way to start the pauser on the
// greeter (as prog, in a folder of its own) and the text as its build
// writes it.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "harness.h"

using Judge_Env = std::vector<std::pair<std::string, std::string>>;

struct Judge_Runner {
  std::function<void(std::string name, std::string bytes)> put;  // a file beside the program
  std::function<std::string(std::string name)> read;             // one there
  std::function<bool(std::string name)> exists;
  std::function<Result(Judge_Env env, std::string input)> run;   // the pauser on prog
  std::function<std::string(std::string)> written;               // LF text as the build writes it
  std::string again;  // the line before the run on the keyboard
  std::string pause;  // the pause that ends the window, as written
};

const std::string JUDGE_RULE = std::string(40, '-') + "\n";
const std::string JUDGE_KEYS = "按 Enter 键用键盘输入再运行一次，按其他键结束……\n";

// Correct, wrong, white space only and no answer, read from standard
// input and from the files of freopen; a freopen of other names writes
// nothing that is judged, and the hint names what it wrote instead. The
// student's own files stay as they were.
inline void Judges_The_Sample_Cases(const Judge_Runner& j) {
  for (auto f : Judge_Env{{"prog.in", "1 2\n"},
                          {"prog.ans", "1 2\r\n\r\n"},
                          {"prog1.in", "1 2\n"},
                          {"prog1.out", "1 3\n"},
                          {"prog_2.IN", "1  2\n"},
                          {"prog_2.ans", "1 2\n"},
                          {"prog3.in", "三\n"},
                          {"prog.out", "not an answer\n"}})
    j.put(f.first, f.second);
  std::string judged = std::string("找到 4 组样例，逐一运行并评测（每组 CPU 时间限 1 秒）：\n") +
                       "样例 1（prog.in）：正确。" + CASE_FIGURES + "\n" +
                       "样例 2（prog1.in）：答案错误。" + CASE_FIGURES +
                       "\n  第 1 行\n  期望：1 3\n  实际：1 2\n" +
                       "样例 3（prog_2.IN）：格式不同。" + CASE_FIGURES +
                       "\n  第 1 行\n  期望：1 2\n  实际：1  2\n" +
                       "样例 4（prog3.in）：没有答案，输出如下。" + CASE_FIGURES + "\n三\n" + JUDGE_RULE +
                       "4 组样例：1 组正确，1 组答案错误，1 组格式不同，1 组没有答案\n" + JUDGE_KEYS;
  for (Judge_Env env : {Judge_Env{{"GREETER_ECHO", "1"}},
                        Judge_Env{{"GREETER_ECHO", "1"}, {"GREETER_FREOPEN", "prog"}}}) {
    Result r = j.run(env, "");
    EXPECT_EQ(Fixed_Case_Figures(r.out), j.written(judged)) << env.size();
    EXPECT_EQ(r.status, 1);
  }
  EXPECT_EQ(j.read("prog.out"), "not an answer\n");
  EXPECT_FALSE(j.exists("greeter.log"));

  Result r = j.run({{"GREETER_ECHO", "1"}, {"GREETER_FREOPEN", "other"}}, "");
  EXPECT_NE(Fixed_Case_Figures(r.out).find(j.written(
                "样例 1（prog.in）：答案错误。" + std::string(CASE_FIGURES) +
                "\n  第 1 行\n  期望：1 2\n  实际：（没有这一行）\n"
                "  提示：程序没有输出，但写了文件 greeter.log、other.out。"
                "若用 freopen 读写文件，文件名须是 prog.in 和 prog.out。\n")),
            std::string::npos)
      << r.out;
}

// How a case ended, by the greeter's variable, and what the judge says.
struct Judge_Ending {
  std::string variable, value, verdict, detail, lines;
};

// The endings both systems name alike; each suite adds its own crash.
inline std::vector<Judge_Ending> Shared_Judge_Endings() {
  return {{"GREETER_BUSY", "30", "超时", "（CPU 时间超过 1 秒）", ""},
          {"GREETER_FLOOD", "200", "输出过多", "（超过 1.0 MiB，已终止）", ""}};
}

// Each ending ended and named; then Enter runs the program on the
// keyboard, after the line that says so.
inline void Ends_And_Names_Each_Case(const Judge_Runner& j, std::vector<Judge_Ending> endings) {
  j.put("prog.in", "");
  j.put("prog.ans", "你好，来自 greeter\n");
  const std::string head = "找到 1 组样例，逐一运行并评测（每组 CPU 时间限 1 秒）：\n";
  for (const Judge_Ending& k : endings) {
    Result r = j.run({{k.variable, k.value}}, "");
    std::size_t at = r.out.find("找到");
    ASSERT_NE(at, std::string::npos) << r.out;
    std::string out = Fixed_Case_Figures(r.out.substr(at));
    if (k.variable == "GREETER_BUSY") out = Busy_As_Cpu(out);  // a busy machine's wall time
    EXPECT_EQ(out, j.written(head + "样例 1（prog.in）：" + k.verdict + k.detail + "。" + CASE_FIGURES +
                             "\n" + k.lines + JUDGE_RULE + "1 组样例：1 组" + k.verdict + "\n" +
                             JUDGE_KEYS))
        << k.variable;
    EXPECT_EQ(r.status, k.verdict == "正确" ? 0 : 1) << k.variable;
  }
  Result r = j.run({}, "\n");
  EXPECT_EQ(Fixed_Case_Figures(r.out),
            j.written(head + "样例 1（prog.in）：正确。" + CASE_FIGURES + "\n" + JUDGE_RULE +
                      "1 组样例：1 组正确\n" + JUDGE_KEYS + j.again + "你好，来自 greeter\n\n" +
                      JUDGE_RULE + "程序已结束，返回值为 0。" + PAUSER_FIGURES + "\n") +
                j.pause);
  EXPECT_EQ(r.status, 0);
}
