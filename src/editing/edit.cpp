#include "editing/edit.h"

#include <iostream>
#include <string>

#include "console/console.h"
#include "paths/paths.h"
#include "platform/requests.h"
#include "platform/files.h"

namespace {

void Put(const std::string& s) {
  std::cout << s;
  std::cout.flush();
}

}  // namespace

void Edit() {
  for (;;) {
    Cls();
    int op = Edit_Page();
    if (op == 3) return;
    if (op == 1) New_File();
    if (op == 2) Open_File();
  }
}

int Edit_Page() {
  Print_Page(35, "Tarnwickshade -- 编辑 C++ 文件",
             {"1. 新建 C++ 文件", "2. 打开已有 C++ 文件", "3. 返回"});
  int ans = Read_Pint({1, 2, 3});
  return ans;
}

void New_File() {
  Cls();
  Print("请输入想要创建的文件的完整目录：", 1);
  std::string fpath = Read_Path();
  Print("请输入想要创建的文件名（不含扩展名）：", 1);
  std::string file = Read_Text();
  Put("\n");
  std::string File = fpath + platform::Separator() + file + ".cpp";
  // The name line is a name, not a path: one with a separator would put
  // the file somewhere other than the directory given, so it never counts.
  // Nor does one that no command line could carry, since the file could
  // never be opened or built from here; a "%" or "!" is named.
  std::string rewritten = Rewritten_Character(file);
  if (!rewritten.empty()) {
    Print("文件名含有“" + rewritten + "”，会被 cmd.exe 改写（当作变量展开），没有创建文件。", 2);
  } else if (!platform::Is_Plain_Name(file) || platform::Uncarried_At(file) != std::string::npos) {
    Print("创建失败！", 2);
  } else if (Isfile(File)) {
    Print("文件已存在。", 2);
  } else if (platform::Create_New_File(File)) {
    Print("创建成功！", 2);
  } else {
    Print("创建失败！", 2);
  }
  Pause();
}

void Open_File() {
  Cls();
  Print("请输入想要打开的文件的完整目录：", 1);
  std::string fpath = Read_File_Path("cpp");
  Put("\n打开成功！请在弹出的窗口内编写代码，编写完成后保存。\n\n");
  platform::Open_Editor(fpath);
  Pause();
}
