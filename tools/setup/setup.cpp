// velder-setup FOLDER PAUSER [REPORT]: run by the Windows installer once
// the programs are in place, so that velder is ready at its first start.
// Writes the settings file into FOLDER, where the Start-menu shortcut
// starts velder, when nothing of its name is there yet: the first g++
// that works (see Find_Compiler for where it looks), PAUSER as the
// pauser, no options. A settings file already there is never touched.
// REPORT, when given, gets the compiler velder will use (from the file
// written, or the one already there), one line in UTF-16LE (no
// byte-order mark), which the installer reads for its finish page; empty
// when there is none.
//
// Exit status, which the installer reads:
//   0  written, with a compiler
//   1  written, no working compiler found (the compiler path is empty)
//   2  a settings file (or something else of its name) is there: left alone
//   3  could not be written
//   4  wrong arguments
#include <filesystem>
#include <fstream>
#include <iostream>

#include "config/compiler_search.h"
#include "config/settings.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/first_setup.h"

namespace {

// UTF-8 as UTF-16LE; a byte that starts no sequence stands for itself.
std::string Utf16le(const std::string& s) {
  std::string out;
  auto unit = [&out](unsigned u) {
    out += static_cast<char>(u & 0xFF);
    out += static_cast<char>(u >> 8);
  };
  for (std::size_t i = 0; i < s.size();) {
    unsigned c = static_cast<unsigned char>(s[i]);
    std::size_t n = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    if (n > 0) c &= 0x3F >> n;
    for (std::size_t k = 1; k <= n && i + k < s.size(); ++k)
      c = (c << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    i += n + 1;
    if (c >= 0x10000) {
      unit(0xD800 + ((c - 0x10000) >> 10));
      unit(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      unit(c);
    }
  }
  return out;
}

// The compiler of the settings file already in folder.
std::string Compiler_In(const std::string& folder) {
  platform::Head h =
      platform::Read_Head(folder + platform::Separator() + SETTINGS, 3, SETTING_MAX);
  if (h.kind != platform::Head::read) return "";
  COM_PATH.clear();
  Load_Settings(h.content);
  return COM_PATH;
}

void Write_Report(const std::vector<std::string>& args, const std::string& compiler) {
  if (args.size() < 4) return;
  std::ofstream f(std::filesystem::u8path(args[3]), std::ios::binary | std::ios::trunc);
  f << Utf16le(compiler + "\r\n");
}

int Setup(std::vector<std::string> args) {
  if (args.size() < 3 || args.size() > 4 || args[1].empty()) {
    std::cerr << "用法：velder-setup 设置文件夹 velder-pauser路径 [报告文件]\n";
    return 4;
  }
  const std::string& folder = args[1];
  const std::string& pauser = args[2];
  // The search runs compilers: not worth it when nothing will be written.
  if (Settings_Present(folder)) {
    std::cout << "已有设置文件，保持不变。\n";
    Write_Report(args, Compiler_In(folder));
    return 2;
  }
  std::string compiler = Find_Compiler();
  switch (Save_First_Settings(folder, compiler, pauser, "")) {
    case First_Save::present:
      std::cout << "已有设置文件，保持不变。\n";
      Write_Report(args, Compiler_In(folder));
      return 2;
    case First_Save::failed:
      std::cerr << "无法在 " << folder << " 中写入设置文件。\n";
      return 3;
    case First_Save::written:
      break;
  }
  Write_Report(args, compiler);
  if (compiler.empty()) {
    std::cout << "未找到可用的编译器（g++.exe），编译器路径留空。\n";
    return 1;
  }
  std::cout << "编译器：" << compiler << "\n";
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  platform::Init_Console();
  int status = Setup(platform::Arguments(argc, argv));
  std::cout << std::flush;
  platform::End_Console();
  return status;
}
