#include "config/settings_menu.h"

#include <string>

#include "config/settings.h"
#include "console/console.h"
#include "paths/paths.h"

namespace {

// Who answers for this program, shown on the About screen.
const char AUTHOR[] = "Tarnwickshade 开发组";
const char AUTHOR_PAGE[] = "https://tarnwickshade.invalid/velder";

// One change screen for a path setting: only an existing program is taken.
void Set_Path(std::string label, std::string prompt, std::string& target) {
  Cls();
  Print(label + target, 1);
  Print(prompt, 1);
  target = Read_File_Path("exe");
  Print("设置成功！", 2);
  Pause();
}

}  // namespace

void Settings() {
  for (;;) {
    Cls();
    int op = Settings_Page();
    if (op == 1) Set_COM_Path();
    if (op == 2) Set_CON_Path();
    if (op == 3) Set_COM_Settings();
    if (op == 4) Print_Message();
    if (op == 5) return;
  }
}

int Settings_Page() {
  Print_Page(39, "Tarnwickshade -- 设置",
             {"1. 修改编译器（g++.exe）路径", "2. 修改 ConsolePauser 路径", "3. 修改编译选项",
              "4. 程序信息", "5. 返回"});
  int ans = Read_Pint({1, 2, 3, 4, 5});
  return ans;
}

void Set_COM_Path() { Set_Path("当前编译器路径：", "请输入新编译器路径：", COM_PATH); }

void Set_CON_Path() {
  Set_Path("当前 ConsolePauser 路径：", "请输入新 ConsolePauser 路径：", CON_PATH);
}

void Set_COM_Settings() {
  Cls();
  Print("当前编译选项：" + COM_SETTINGS, 1);
  Print("请输入新编译选项：", 1);
  COM_SETTINGS = Read_Text();
  Print("设置成功！", 2);
  Pause();
}

void Print_Message() {
  Cls();
  Print(std::string("作者：") + AUTHOR + "（" + AUTHOR_PAGE + "）", 1);
  Print("介绍：Tarnwickshade", 1);
  Print("版本：Alpha 1.1", 1);
  Print("发布时间：2025/10/3", 2);
  Pause();
}
