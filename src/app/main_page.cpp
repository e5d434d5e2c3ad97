#include "app/velder.h"
#include "console/console.h"

int Main_Page() {
  Print_Page(43, "Tarnwickshade",
             {"1. 编辑 C++ 文件", "2. 运行 C++ 程序", "3. 设置", "4. 保存信息并退出"});
  int ans = Read_Pint({1, 2, 3, 4});
  return ans;
}
