// Velder: write, compile and run single-file C++ programs from a menu.
#include <iostream>
#include <string>

#include "app/velder.h"
#include "build/run.h"
#include "config/settings.h"
#include "config/settings_menu.h"
#include "console/console.h"
#include "editing/edit.h"
#include "platform/console.h"

namespace {

// Closing the window or a hangup of the terminal saves what "4" would.
void Save_On_Hangup() {
  bool changed = Settings_Changed();
  std::string why = Save_If_Changed();
  if (why.empty()) why = changed ? "窗口已关闭或终端已断开，改动的设置已保存。" : "窗口已关闭或终端已断开，退出。";
  std::cerr << "velder: " << why << "\n";
}

}  // namespace

int main() {
  Init();
  platform::On_Hangup(Save_On_Hangup);
  for (;;) {
    Cls();
    int op = Main_Page();
    if (op == 1) Edit();
    if (op == 2) Run();
    if (op == 3) Settings();
    if (op == 4) break;
  }
  Cls();
  std::string why = Save_Settings();
  if (!why.empty()) {
    // Said where a script's log and where the user look; the window stays
    // until the user has read it.
    std::cerr << "velder: " << why << "\n";
    Print(why, 2);
    Pause();
    platform::End_Console();
    return 2;
  }
  Print("将在 3s 内退出……", 1);
  Wait(2.5);
  platform::End_Console();
  return 0;
}
