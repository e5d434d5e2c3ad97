#include "judge.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <system_error>

#include "pauser.h"

namespace fs = std::filesystem;

namespace {

const double CPU_LIMIT = 1;      // seconds of CPU time a case may use
// Seconds after which a case is ended: a safety net for a program that
// sleeps or waits, generous enough for a slow start (or a crash dump
// under Wine) on a busy machine.
const double WALL_LIMIT = 10;
const int SHOWN_LINES = 40;      // of the output of a case without an answer
const std::size_t SHOWN_BYTES = 4096;

std::string Plain(const fs::path& p) { return p.u8string(); }

long long File_Size(const std::string& path) {
  std::error_code ec;
  auto n = fs::file_size(fs::u8path(path), ec);
  return ec ? -1 : static_cast<long long>(n);
}

// A new folder of our own under the system's temporary folder; empty
// when none can be made.
std::string Make_Temp_Dir() {
  std::error_code ec;
  fs::path base = fs::temp_directory_path(ec);
  if (ec) return "";
  std::random_device seed;
  std::mt19937_64 random(seed() ^ static_cast<unsigned long long>(std::random_device()()) << 32);
  for (int i = 0; i < 100; ++i) {
    fs::path d = base / ("velder-judge-" + std::to_string(random() % 1000000000000ULL));
    if (fs::create_directory(d, ec)) return Plain(d);
  }
  return "";
}

// The verdicts, in the order the summary counts them.
enum Verdict { correct, wrong, format, time_out, too_much, runtime_error, no_answer, verdicts };

const char* const VERDICT_NAMES[] = {"正确",   "答案错误", "格式不同", "超时",
                                     "输出过多", "运行错误", "没有答案"};

std::string Figures(const platform::Process_End& end) {
  std::string s = "CPU 时间 " + Fixed(end.cpu_seconds, 3) + " 秒";
  if (end.peak_bytes > 0) s += "，内存峰值 " + Memory_Size(end.peak_bytes);
  return s + "。";
}

// Up to SHOWN_LINES lines of the output, for a case without an answer.
void Show_Output(const std::string& path) {
  std::ifstream in(fs::u8path(path), std::ios::binary);
  std::string shown(SHOWN_BYTES, '\0');
  in.read(&shown[0], static_cast<std::streamsize>(shown.size()));
  shown.resize(static_cast<std::size_t>(in.gcount()));
  bool more = in.peek() != EOF;
  std::size_t cut = 0;
  for (int lines = 0; cut < shown.size() && lines < SHOWN_LINES; ++lines) {
    std::size_t nl = shown.find('\n', cut);
    cut = nl == std::string::npos ? shown.size() : nl + 1;
  }
  more = more || cut < shown.size();
  shown.resize(cut);
  // CR LF as the console writes LF, once.
  for (std::size_t at; (at = shown.find("\r\n")) != std::string::npos;) shown.erase(at, 1);
  if (!shown.empty() && shown.back() != '\n') shown += '\n';
  std::cout << shown;
  if (more) std::cout << "（后面还有输出，没有显示）\n";
}

// Judges one case; writes its lines and returns its verdict. A program
// that cannot start ends the judging: started is false then.
Verdict Judge_Case(const std::string& program, const std::vector<std::string>& argv,
                   const std::string& stem, const Sample& s, int number, bool& started) {
  std::string head = "样例 " + std::to_string(number) + "（" + s.name + "）：";
  std::string root = Make_Temp_Dir();
  std::error_code ec;
  fs::path work = fs::u8path(root) / "work";
  if (root.empty() || !fs::create_directory(work, ec) ||
      !fs::copy_file(fs::u8path(s.input), work / fs::u8path(stem + ".in"), ec)) {
    std::cout << head << "无法准备临时文件夹（" << ec.message() << "）。\n";
    if (!root.empty()) fs::remove_all(fs::u8path(root), ec);
    started = false;
    return runtime_error;
  }
  platform::Process_Spec spec;
  spec.argv = argv;
  spec.program = program;
  spec.dir = Plain(work);
  spec.input = Plain(work / fs::u8path(stem + ".in"));
  spec.output = Plain(fs::u8path(root) / "stdout");
  spec.cpu_limit = CPU_LIMIT;
  spec.wall_limit = WALL_LIMIT;
  spec.output_limit = Output_Limit(s.answer.empty() ? -1 : File_Size(s.answer));
  platform::Process_End end = Run_Guarded(spec);
  started = end.started;
  if (!end.started) {
    Ending e = Describe(argv[0], end);
    std::cout << head << Report(e) << '\n';
    fs::remove_all(fs::u8path(root), ec);
    return runtime_error;
  }
  std::string written = Plain(work / fs::u8path(stem + ".out"));
  std::string output = fs::exists(fs::u8path(written), ec) ? written : spec.output;
  long long size = File_Size(output);
  Verdict v = no_answer;
  Comparison c;
  std::string detail;
  if (end.output_exceeded || size > spec.output_limit) {
    v = too_much;
    detail = "（超过 " + Memory_Size(spec.output_limit) + "，已终止）";
  } else if (end.cpu_exceeded || end.cpu_seconds > CPU_LIMIT) {
    v = time_out;
    detail = "（CPU 时间超过 " + Fixed(CPU_LIMIT, 0) + " 秒）";
    // Ended by the system's limit, which may count a little ahead of the
    // figure it reports.
    end.cpu_seconds = std::max(end.cpu_seconds, CPU_LIMIT);
  } else if (end.timed_out) {
    v = time_out;
    detail = "（运行 " + Fixed(WALL_LIMIT, 0) + " 秒仍未结束，已终止）";
  } else if (end.signaled || end.code != 0) {
    v = runtime_error;
  } else if (!s.answer.empty()) {
    c = Compare_Files(output, s.answer);
    v = c.match == Match::same ? correct : c.match == Match::format ? format : wrong;
  } else {
    detail = "，输出如下";
  }
  std::cout << head << VERDICT_NAMES[v] << detail << "。" << Figures(end) << '\n';
  if (v == runtime_error) {
    Ending e = Describe(argv[0], end);
    std::cout << "  " << Outcome(e) << '\n';
    if (!e.hint.empty()) std::cout << "  提示：" << e.hint << '\n';
  }
  if (v == wrong || v == format) {
    std::cout << "  第 " << c.first.line << " 行\n  期望：" << c.first.expected
              << "\n  实际：" << c.first.actual << '\n';
  }
  if (v == no_answer) Show_Output(output);
  if (size == 0 && (v == wrong || v == no_answer))
    std::cout << "  提示：程序没有输出。若用 freopen 读写文件，文件名须是 " << stem << ".in 和 "
              << stem << ".out。\n";
  fs::remove_all(fs::u8path(root), ec);
  return v;
}

}  // namespace

int Judge(const std::string& program, const std::vector<std::string>& argv,
          const std::vector<Sample>& samples) {
  std::string stem = Program_Stem(fs::u8path(program).filename().u8string());
  std::cout << "找到 " << samples.size() << " 组样例，逐一运行并评测（每组 CPU 时间限 "
            << Fixed(CPU_LIMIT, 0) << " 秒）：\n"
            << std::flush;
  int count[verdicts] = {};
  int run = 0;
  for (const Sample& s : samples) {
    bool started = true;
    ++count[Judge_Case(program, argv, stem, s, ++run, started)];
    std::cout << std::flush;
    if (!started) return 127;
  }
  std::string summary = std::to_string(samples.size()) + " 组样例：";
  std::string sep;
  for (int v = 0; v < verdicts; ++v) {
    if (count[v] == 0) continue;
    summary += sep + std::to_string(count[v]) + " 组" + VERDICT_NAMES[v];
    sep = "，";
  }
  std::cout << std::string(40, '-') << '\n' << summary << '\n' << std::flush;
  return count[correct] + count[no_answer] == static_cast<int>(samples.size()) ? 0 : 1;
}
