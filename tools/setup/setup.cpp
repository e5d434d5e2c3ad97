// velder-setup FOLDER PAUSER: run by the Windows installer once the
// programs are in place, so that velder is ready at its first start.
// Writes the settings file into FOLDER, where the Start-menu shortcut
// starts velder, when nothing of its name is there yet: the first g++
// that works (see Find_Compiler for where it looks), PAUSER as the
// pauser, no options. A settings file already there is never touched.
//
// Exit status, which the installer reads:
//   0  written, with a compiler
//   1  written, no working compiler found (the compiler path is empty)
//   2  a settings file (or something else of its name) is there: left alone
//   3  could not be written
//   4  wrong arguments
#include <iostream>

#include "config/compiler_search.h"
#include "config/settings.h"
#include "platform/console.h"
#include "platform/first_setup.h"

namespace {

int Setup(std::vector<std::string> args) {
  if (args.size() != 3 || args[1].empty()) {
    std::cerr << "用法：velder-setup 设置文件夹 velder-pauser路径\n";
    return 4;
  }
  const std::string& folder = args[1];
  const std::string& pauser = args[2];
  // The search runs compilers: not worth it when nothing will be written.
  if (Settings_Present(folder)) {
    std::cout << "已有设置文件，保持不变。\n";
    return 2;
  }
  std::string compiler = Find_Compiler();
  switch (Save_First_Settings(folder, compiler, pauser, "")) {
    case First_Save::present:
      std::cout << "已有设置文件，保持不变。\n";
      return 2;
    case First_Save::failed:
      std::cerr << "无法在 " << folder << " 中写入设置文件。\n";
      return 3;
    case First_Save::written:
      break;
  }
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
