// What the Windows side does only because Wine, or an older Windows,
// falls short of the Windows the rest of the code is written for. Each
// function says which behaviour it covers; on a current Windows most of
// them change nothing.
#pragma once

#include <windows.h>

#include <string>

namespace platform {

// CreateProcess takes no working folder longer than MAX_PATH (Windows and
// Wine), and Wine no longer program either, not even in the \\?\ form:
// such a path by its short (8.3) name where that is shorter.
std::wstring Short_Form(const std::wstring& path);

// The long name of a path that may be given in its short (8.3) form. Wine
// 10 fails to start a program by a short name that holds Chinese (its
// short names lose the characters), so it is the long name that decides
// whether a stand-in is needed.
std::wstring Long_Name(const std::wstring& path);

// Wine starts no program whose full path is longer than MAX_PATH, not by
// its short name nor in the \\?\ form. Such a program is started from a
// link to it (a copy where no link can be made) in a fresh folder of its
// own under the temporary folder, removed when it has ended.
struct Stand_In {
  std::wstring folder, program;
  explicit Stand_In(const std::wstring& original);
  ~Stand_In();
  Stand_In(const Stand_In&) = delete;
  Stand_In& operator=(const Stand_In&) = delete;
};

// User plus kernel time. Wine gives no CPU time for another process,
// though it does for its threads: the main thread's time stands in when
// the process's is missing. On Windows it is at most the process's own.
double Cpu_Seconds(const PROCESS_INFORMATION& pi);

// The peak working set so far. Wine forgets it once the process has
// ended, so the watcher reads it while the program runs, at once and
// every millisecond at first, so that a program that ends within a few
// milliseconds has a figure under Wine too.
long long Peak_Working_Set(HANDLE process);

}  // namespace platform
