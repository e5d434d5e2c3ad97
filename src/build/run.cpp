#include "build/run.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <unordered_set>

#include "build/colour.h"
#include "build/diagnose.h"
#include "build/exe_path.h"
#include "build/encoding.h"
#include "build/pch.h"
#include "config/settings.h"
#include "console/console.h"
#include "paths/paths.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/requests.h"
#include "platform/running.h"

namespace {

const int YES_NO[2] = {0, 1};

// Asks a yes/no question already printed; true for 1.
bool Yes() { return Read_Pint(std::unordered_set<int>(YES_NO, YES_NO + 2)) != 0; }

// A line feed straight to standard output, without the typing effect.
void Bare_Line_Feed() { std::cout << '\n' << std::flush; }

// On Windows the executable of a program still running cannot be
// written, so the linker would fail: offered to end it first.
void End_If_Running(std::string epath) {
  if (platform::Running_Copies(epath) == 0) return;
  Print("该程序仍在运行，它的 exe 文件无法覆盖。是否先结束程序再编译？（0/1）", 1);
  if (!Yes()) return;
  if (platform::End_Running_Copies(epath))
    Print("已结束正在运行的程序。", 1);
  else
    Print("有程序未能结束，编译多半会失败。", 1);
}

// Text in another encoding (GBK, as Chinese editors save by default)
// comes out garbled in the UTF-8 run window; once the options name the
// source's encoding, it no longer does.
void Warn_If_Not_Utf8(std::string fpath) {
  if (COM_SETTINGS.find("-finput-charset") != std::string::npos || Source_Is_Utf8(fpath)) return;
  Print("注意：源文件不是 UTF-8 编码，其中的中文在 UTF-8 的运行窗口里会成为乱码；"
        "请将它另存为 UTF-8，或在编译选项中加上 -finput-charset=GBK。",
        1);
}

// What of the compiler's output is kept to be read back, and of the
// source: enough for any real first error, bounded whatever is printed.
const std::size_t OUTPUT_KEPT = 1 << 20, SOURCE_READ = 4 << 20;

// The compiler's text as it arrives: shown at once (in GCC's colours on a
// terminal, since through the pipe GCC colours nothing itself), and its
// first MiB kept.
// Line ends are shown as this program's own: a CR before an LF (MinGW's
// CR LF) is left to the C runtime, which writes it back in text mode on
// Windows, instead of doubling it there.
struct Compiler_Text {
  bool colour = platform::Smart_Terminal();
  Colouriser colours;
  std::string kept;
  bool cr_held = false;  // the chunk ended in a CR: it depends on the next

  void Take(const std::string& chunk) {
    if (kept.size() < OUTPUT_KEPT) kept += chunk.substr(0, OUTPUT_KEPT - kept.size());
    std::string s = Without_Cr_Before_Lf(chunk);
    Show(colour ? colours.Colour(s) : s);
  }
  void End() {
    std::string s = cr_held ? "\r" : "";
    Show(colour ? colours.Colour(s) + colours.End() : s);
  }
  std::string Without_Cr_Before_Lf(const std::string& chunk) {
    std::string s = (cr_held ? "\r" : "") + chunk, r;
    cr_held = false;
    for (std::size_t i = 0; i < s.size(); ++i) {
      if (s[i] == '\r' && i + 1 == s.size()) cr_held = true;
      else if (!(s[i] == '\r' && s[i + 1] == '\n')) r += s[i];
    }
    return r;
  }
  static void Show(const std::string& s) {
    if (!s.empty()) std::cout << s << std::flush;
  }
};

// The start of the source, to show the line of an error; empty when it
// cannot be read.
std::string Source_Text(std::string fpath) {
  std::filesystem::path p;
  if (!platform::Native_Path(fpath, p)) return "";
  std::ifstream in(p, std::ios::binary);
  std::string s;
  char buf[65536];
  while (in && s.size() < SOURCE_READ) {
    in.read(buf, sizeof buf);
    s.append(buf, static_cast<std::size_t>(in.gcount()));
  }
  return s;
}

// The lines of an explanation, each with the typing effect.
void Print_Lines(const std::string& text) {
  for (std::size_t from = 0, end; from < text.size(); from = end + 1) {
    end = text.find('\n', from);
    if (end == std::string::npos) end = text.size();
    Print(text.substr(from, end - from), 1);
  }
}

// Compiles the source; true when the compiler reported success. The
// compiler speaks English (C locale), so that its messages can be read
// back and explained, whatever the system's language.
bool Compile_Step(platform::Compile_Request t) {
  End_If_Running(t.epath);
  Warn_If_Not_Utf8(t.fpath);
  Print("正在编译……", 1);
  Compiler_Text text;
  t.env = {{"LC_ALL", "C", false}, {"LANGUAGE", "", true}};
  t.on_output = [&text](const std::string& chunk) { text.Take(chunk); };
  int status = Compile_Using_Pch(t, [&text](const char* line) {
    // What a compile with a damaged header said is not the student's
    // error: the compile again without it is the one to explain.
    if (std::string(line) == PCH_FALLBACK) text.kept.clear();
    Print(line, 1);
  });
  text.End();
  if (status != 0) {
    Print("编译失败！", 2);
    Explanation e = Explain_Failure(text.kept, t.fpath, Source_Text(t.fpath));
    Print_Lines(e.text);
    if (!e.text.empty()) Bare_Line_Feed();
    return false;
  }
  Print("编译成功！", 1);
  Print_Lines(Explain_Warnings(text.kept, t.fpath, "").text);
  return true;
}

void Launch(std::string fpath, std::string epath) {
  platform::Launch_Request t{"", epath, fpath};
  if (Isfile(CON_PATH)) {
    Print("正在通过 ConsolePauser 启动程序……", 1);
    t.con_path = CON_PATH;
  } else {
    Print("ConsolePauser 路径无效。即将直接启动程序。", 1);
  }
  // A launch that did not happen must not be reported as one.
  if (platform::Launch(t) == 0)
    Print("启动成功！", 1);
  else
    Print("启动失败！", 1);
}

}  // namespace

void Run() {
  Cls();
  Print("请输入 C++ 文件的完整路径：", 1);
  std::string fpath = Read_File_Path("cpp");
  std::string epath = Exe_Path(fpath);
  Bare_Line_Feed();
  if (!Isfile(COM_PATH)) {
    Print("编译器路径无效！请重新设置。", 2);
    Pause();
    return;
  }
  platform::Compile_Request t;
  t.com_path = COM_PATH;
  t.com_settings = COM_SETTINGS;
  t.epath = epath;
  t.fpath = fpath;
  bool ncom = true;
  if (!Isfile(epath)) {
    Print("未找到对应程序的 exe 文件，自动编译。", 1);
  } else {
    Print("是否需要编译？（0/1）", 1);
    ncom = Yes();
    if (!ncom) Print("跳过编译。", 1);
  }
  if (ncom && !Compile_Step(t)) {
    Pause();
    return;
  }
  Bare_Line_Feed();
  Print("是否需要运行？（0/1）", 1);
  bool nrun = Yes();
  if (nrun)
    Launch(fpath, epath);
  else
    Print("跳过运行。", 1);
  Bare_Line_Feed();
  Pause();
}
