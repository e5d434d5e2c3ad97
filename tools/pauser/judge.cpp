#include "judge.h"

#include <algorithm>
#include <cerrno>
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

// What stopped a file operation, in words.
std::string Reason(const std::error_code& ec) {
  struct Known {
    std::errc code;
    const char* words;
  };
  static const Known KNOWN[] = {
      {std::errc::permission_denied, "没有权限"},
      {std::errc::operation_not_permitted, "没有权限"},
      {std::errc::no_such_file_or_directory, "文件已不存在"},
      {std::errc::is_a_directory, "它是一个目录"},
      {std::errc::no_space_on_device, "磁盘空间不足"},
      {std::errc::read_only_file_system, "文件系统是只读的"},
      {std::errc::too_many_files_open, "打开的文件太多"},
      {std::errc::io_error, "读写出错"},
      {std::errc::filename_too_long, "路径太长"},
      {std::errc::too_many_symbolic_link_levels, "符号链接太多或成环"},
      {std::errc::device_or_resource_busy, "文件正被占用"},
  };
  for (const Known& k : KNOWN)
    if (ec == k.code) return k.words;
  return "系统错误，代码 " + std::to_string(ec.value());
}

// Whether the file can be opened for reading; why not, in words.
bool Readable(const std::string& path, std::string& why) {
  errno = 0;
  std::ifstream in(fs::u8path(path), std::ios::binary);
  if (in) return true;
  std::error_code ec(errno ? errno : EIO, std::generic_category());
  why = Reason(ec);
  return false;
}

// Removes the tree at p whatever the program left in it: folders without
// write or search permission, files marked read-only. Links are removed,
// never followed.
void Remove_Tree(const fs::path& p) {
  std::error_code ec;
  fs::file_status st = fs::symlink_status(p, ec);
  if (ec) return;
  if (fs::is_directory(st)) {
    fs::permissions(p, fs::perms::owner_all, fs::perm_options::add, ec);
    std::vector<fs::path> inside;
    for (fs::directory_iterator i(p, ec), end; !ec && i != end; i.increment(ec))
      inside.push_back(i->path());
    for (const fs::path& q : inside) Remove_Tree(q);
  } else if (!fs::is_symlink(st)) {
    fs::permissions(p, fs::perms::owner_write, fs::perm_options::add, ec);
  }
  fs::remove(p, ec);
}

// A new folder of our own under the system's temporary folder; empty
// (with ec set) when none can be made.
std::string Make_Temp_Dir(std::error_code& ec) {
  fs::path base = fs::temp_directory_path(ec);
  if (ec) return "";
  std::random_device seed;
  std::mt19937_64 random(seed() ^ static_cast<unsigned long long>(std::random_device()()) << 32);
  for (int i = 0; i < 100; ++i) {
    fs::path d = base / ("velder-judge-" + std::to_string(random() % 1000000000000ULL));
    if (fs::create_directory(d, ec)) return Plain(d);
    if (ec) return "";
  }
  ec = std::make_error_code(std::errc::file_exists);
  return "";
}

// The verdicts, in the order the summary counts them. The last three are
// cases that could not be judged.
enum Verdict {
  correct, wrong, format, time_out, too_much, runtime_error, no_answer,
  unreadable, unreadable_answer, not_prepared, verdicts
};

const char* const VERDICT_NAMES[] = {"正确",     "答案错误",     "格式不同",   "超时",
                                     "输出过多", "运行错误",     "没有答案",   "无法读取",
                                     "无法读取答案", "无法准备运行"};

// The most common memory limit of online judges.
const long long JUDGES_MEMORY = 256LL << 20;

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

// The names of the files the program left in its folder, other than its
// input, up to a few.
std::string Names_Left(const fs::path& work, const std::string& input) {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator i(work, ec), end; !ec && i != end; i.increment(ec)) {
    std::string n = i->path().filename().u8string();
    if (n != input) names.push_back(n);
  }
  std::sort(names.begin(), names.end());
  std::string s;
  for (std::size_t k = 0; k < names.size() && k < 5; ++k) s += (k ? "、" : "") + names[k];
  if (names.size() > 5) s += " 等";
  return s;
}

// The hint for a case whose output is empty: which names the program
// wrote, if any, and which it should have used.
std::string No_Output_Hint(const fs::path& work, const std::string& stem, bool out_file) {
  std::string s = "  提示：程序没有输出";
  std::string left = Names_Left(work, stem + ".in");
  if (out_file) s += "：标准输出和 " + stem + ".out 都是空的";
  else if (!left.empty()) s += "，但写了文件 " + left;
  return s + "。若用 freopen 读写文件，文件名须是 " + stem + ".in 和 " + stem + ".out。\n";
}

// The line of a case that could not be judged.
Verdict Not_Judged(const std::string& head, Verdict v, const std::string& why) {
  std::cout << head << VERDICT_NAMES[v] << "（" << why << "）。\n";
  return v;
}

// Judges one case; writes its lines and returns its verdict. A program
// that cannot start ends the judging: started is false then.
Verdict Judge_Case(const std::string& program, const std::vector<std::string>& argv,
                   const std::string& stem, const Sample& s, int number, bool& started) {
  std::string head = "样例 " + std::to_string(number) + "（" + s.name + "）：";
  std::string why;
  if (!Readable(s.input, why)) return Not_Judged(head, unreadable, why);
  if (!s.answer.empty() && !Readable(s.answer, why)) return Not_Judged(head, unreadable_answer, why);
  std::error_code ec;
  std::string root = Make_Temp_Dir(ec);
  fs::path work = fs::u8path(root) / "work";
  if (root.empty() || !fs::create_directory(work, ec) ||
      !fs::copy_file(fs::u8path(s.input), work / fs::u8path(stem + ".in"), ec)) {
    if (!root.empty()) Remove_Tree(fs::u8path(root));
    return Not_Judged(head, not_prepared, "临时文件夹：" + Reason(ec));
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
    Remove_Tree(fs::u8path(root));
    return runtime_error;
  }
  // The output judged: the program's own file when it wrote anything
  // there, else what it printed.
  std::string written = Plain(work / fs::u8path(stem + ".out"));
  bool out_file = fs::exists(fs::u8path(written), ec);
  std::string output = out_file && File_Size(written) > 0 ? written : spec.output;
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
  if (size == 0 && (v == wrong || v == no_answer)) std::cout << No_Output_Hint(work, stem, out_file);
  if (end.peak_bytes > JUDGES_MEMORY)
    std::cout << "  提示：内存峰值超过了 256 MiB，这是评测系统最常见的内存限制：多数评测系统会判它超出内存限制。\n";
  Remove_Tree(fs::u8path(root));
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
  // Any case not correct, judged or not, fails the run.
  return count[correct] + count[no_answer] == static_cast<int>(samples.size()) ? 0 : 1;
}
