#include "pauser.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <vector>

#include "platform/requests.h"
#include "platform/console.h"
#include "platform/input.h"
#include "judge.h"

std::string Fixed(double v, int decimals) {
  char s[64];
  std::snprintf(s, sizeof s, "%.*f", decimals, v);
  return s;
}

std::string Outcome(const Ending& e) {
  if (e.for_rebuild) return "程序已被 velder 结束，以便重新编译。";
  std::string detail = e.why.empty() ? "" : "（" + e.why + "）";
  if (e.signaled)
    return "程序被信号 " + std::to_string(e.code) + (detail.empty() ? " " : detail) + "终止。";
  return std::string(e.crashed ? "程序异常终止" : "程序已结束") + "，返回值为 " +
         std::to_string(e.code) + detail + "。";
}

std::string Memory_Size(long long bytes) {
  const double kib = 1024, mib = kib * 1024, gib = mib * 1024;
  double b = static_cast<double>(bytes);
  // Rounded as shown: 1023.6 KiB is written as 1.0 MiB, not 1024 KiB.
  if (b < mib - kib / 2) return Fixed(b / kib, 0) + " KiB";
  if (b < gib - mib / 20) return Fixed(b / mib, 1) + " MiB";
  return Fixed(b / gib, 2) + " GiB";
}

std::string Title_Text(const std::string& name) {
  std::string s;
  for (std::size_t i = 0; i < name.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(name[i]);
    // C0 controls, DEL, and the C1 controls U+0080 to U+009F (C2 80-9F).
    if (c < 0x20 || c == 0x7F) continue;
    if (c == 0xC2 && i + 1 < name.size() && static_cast<unsigned char>(name[i + 1]) < 0xA0 &&
        static_cast<unsigned char>(name[i + 1]) >= 0x80) {
      ++i;
      continue;
    }
    s += name[i];
  }
  return s;
}

namespace {

std::string Figures(const Ending& e) {
  std::string s =
      "用时 " + Fixed(e.seconds, 3) + " 秒，CPU 时间 " + Fixed(e.cpu_seconds, 3) + " 秒";
  if (e.peak_bytes > 0) s += "，内存峰值 " + Memory_Size(e.peak_bytes);
  return s + "。";
}

}  // namespace

std::string Report(const Ending& e) {
  if (!e.started) return "无法启动程序“" + e.name + "”：" + e.why;
  std::string s = Outcome(e) + Figures(e);
  if (!e.hint.empty()) s += "\n提示：" + e.hint;
  return s;
}

namespace {

// The program once, on the keyboard, its report, and the pause.
int Run_Interactively(int argc, char** argv) {
  auto t0 = std::chrono::steady_clock::now();
  Ending e = Run_Program(argc, argv);
  e.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  Discard_Typed_Keys();
  std::cout << '\n' << std::string(40, '-') << '\n' << Report(e) << '\n' << std::flush;
  platform::Pause_For_Key();
  return e.status;
}

// With sample cases beside the program they are judged first; then
// Enter runs it once more on the keyboard.
int Run_Window(int argc, char** argv) {
  std::vector<std::string> args = Arguments(argc, argv);
  std::string program = Find_Program(args[0]);
  // Among several run windows, each names its program.
  Title_Window(Title_Text(std::filesystem::u8path(program.empty() ? args[0] : program)
                              .filename()
                              .u8string()));
  std::vector<Sample> samples;
  if (!program.empty()) {
    std::filesystem::path p = std::filesystem::u8path(program);
    samples = Find_Samples(p.parent_path().u8string(), Program_Stem(p.filename().u8string()));
  }
  if (samples.empty()) return Run_Interactively(argc, argv);
  int status = Judge(program, args, samples);
  Discard_Typed_Keys();
  std::string key = platform::Prompt_For_Key("按 Enter 键用键盘输入再运行一次，按其他键结束……");
  bool again = key == "\n" || key == "\r";
  std::cout << '\n';
  // Without this line the window would fall silent, waiting for input
  // nothing asks for.
  if (again) std::cout << "程序将再运行一次，从键盘读入；要结束输入，请" << END_OF_INPUT << "。\n";
  std::cout << std::flush;
  return again ? Run_Interactively(argc, argv) : status;
}

}  // namespace

int main(int argc, char** argv) {
  platform::Init_Console();
  if (argc < 2) {
    std::cerr << "用法：velder-pauser 程序 [参数……]\n";
    platform::End_Console();
    return 2;
  }
  int status = Run_Window(argc, argv);
  platform::End_Console();
  return status;
}
