#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "console/console.h"
#include "platform/console.h"
#include "platform/input.h"

Choice Check_Choice(std::string s, std::unordered_set<int> a) {
  std::int32_t ls = static_cast<std::int32_t>(s.size());
  bool isn = true;
  for (std::int32_t i = 0; i < ls; ++i) {
    if (s[i] < '0' || s[i] > '9') {
      isn = false;
      break;
    }
  }
  if (!isn) return {0, "输入不是自然数，请重新输入。"};
  if (ls > 9) return {0, "输入不在给定范围内，请重新输入。"};
  std::int32_t ans = 0;
  for (char c : s) ans = ans * 10 + (c - 48);
  if (a.count(ans)) return {ans, ""};
  return {0, "输入不在给定范围内，请重新输入。"};
}

int Read_Pint(std::unordered_set<int> a) {
  for (;;) {
    std::string s;
    if (!platform::Read_Line(s)) {
      if (a.count(0)) return 0;
      End_Of_Input();
    }
    Choice c = Check_Choice(s, a);
    if (c.message.empty()) return c.ans;
    Print(c.message, 1);
  }
}

std::string Read_Text() {
  std::string s;
  if (!platform::Read_Line(s)) End_Of_Input();
  return s;
}

void End_Of_Input() {
  std::cout.flush();
  // The terminal hung up (or the window is closing): not the end of a
  // pipe's input, and the settings are saved.
  if (platform::Hung_Up()) platform::End_For_Hangup();
  std::cerr << "velder: 输入已结束，退出（设置未保存）。\n";
  platform::End_Console();
  std::exit(1);
}
