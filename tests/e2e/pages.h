// The edit and settings pages and the screens around them, as a
// transcript shows them.
#pragma once

#include <string>

#include "harness.h"

inline std::string Edit_Page_Text() {
  return std::string(35, ' ') + "Tarnwickshade -- 编辑 C++ 文件\n" + std::string(100, '-') +
         "\n1. 新建 C++ 文件\n2. 打开已有 C++ 文件\n3. 返回\n\n";
}

inline std::string Settings_Page_Text() {
  return std::string(39, ' ') + "Tarnwickshade -- 设置\n" + std::string(100, '-') +
         "\n1. 修改编译器（g++.exe）路径\n2. 修改 ConsolePauser 路径\n3. 修改编译选项\n"
         "4. 程序信息\n5. 返回\n\n";
}

// The pause on a transcript, its line feed included.
inline std::string Pause_Text() { return std::string(PAUSE_PROMPT) + "\n"; }

const char DIR_PROMPT[] = "请输入想要创建的文件的完整目录：\n";
const char NAME_PROMPT[] = "请输入想要创建的文件名（不含扩展名）：\n";
const char OPEN_PROMPT[] = "请输入想要打开的文件的完整目录：\n";
const char OPENED[] = "\n打开成功！请在弹出的窗口内编写代码，编写完成后保存。\n\n";
const char CREATED[] = "创建成功！\n\n";
const char EXISTS[] = "文件已存在。\n\n";
const char FAILED[] = "创建失败！\n\n";
const char SET_OK[] = "设置成功！\n\n";
const char NO_PATH[] = "路径无效，请重新输入。\n";
const char NOT_FILE[] = "路径指向的不是文件，请重新输入。\n";
const char WRONG_TYPE[] = "路径指向的文件类型不正确，请重新输入。\n";

// One New_File screen on a transcript, back to the edit page after it;
// dir_messages are the refusals of directory lines.
inline std::string New_File_Screen(std::string result, std::string dir_messages = "") {
  return Cls_Dumb() + DIR_PROMPT + dir_messages + NAME_PROMPT + "\n" + result + Pause_Text() +
         Cls_Dumb() + Edit_Page_Text();
}

// One Open_File screen; between is what the editor printed.
inline std::string Open_File_Screen(std::string between, std::string messages = "") {
  return Cls_Dumb() + OPEN_PROMPT + messages + OPENED + between + Pause_Text() + Cls_Dumb() +
         Edit_Page_Text();
}

// A run that enters the edit menu, does `inside` there, goes back, and
// then meets the end of input on the main page.
inline std::string Through_Edit(std::string inside) {
  return Cls_Dumb() + Main_Page_Text() + Cls_Dumb() + Edit_Page_Text() + inside + Cls_Dumb() +
         Main_Page_Text();
}

inline std::string Through_Settings(std::string inside) {
  return Cls_Dumb() + Main_Page_Text() + Cls_Dumb() + Settings_Page_Text() + inside +
         Cls_Dumb() + Main_Page_Text();
}
