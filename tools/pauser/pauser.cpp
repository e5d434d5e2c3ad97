#include "pauser.h"

#include <chrono>
#include <cstdio>
#include <iostream>

#include "platform/command.h"
#include "platform/console.h"

std::string Report(const Ending& e, double seconds) {
  char time[64];
  std::snprintf(time, sizeof time, "%.3f", seconds);
  if (!e.started) return "无法启动程序“" + e.name + "”：" + e.why;
  std::string detail = e.why.empty() ? "" : "（" + e.why + "）";
  if (e.signaled)
    return "程序被信号 " + std::to_string(e.code) + detail + "终止，用时 " + time + " 秒。";
  return "程序已结束，用时 " + std::string(time) + " 秒，返回值为 " + std::to_string(e.code) +
         detail + "。";
}

int main(int argc, char** argv) {
  platform::Init_Console();
  if (argc < 2) {
    std::cerr << "用法：velder-pauser 程序 [参数……]\n";
    platform::End_Console();
    return 2;
  }
  auto t0 = std::chrono::steady_clock::now();
  Ending e = Run_Program(argc, argv);
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  std::cout << '\n' << std::string(40, '-') << '\n' << Report(e, seconds) << '\n' << std::flush;
  platform::system("pause");
  platform::End_Console();
  return e.status;
}
