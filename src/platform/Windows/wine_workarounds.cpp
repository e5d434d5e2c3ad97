#include "platform/Windows/wine_workarounds.h"

#include <psapi.h>

#include <algorithm>
#include <vector>

#include "platform/Windows/long_path.h"

namespace platform {

namespace {

double Seconds(FILETIME t) {
  return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) |
                             t.dwLowDateTime) /
         1e7;
}

// User plus kernel time, by GetProcessTimes or GetThreadTimes.
double Times(BOOL(WINAPI* times)(HANDLE, LPFILETIME, LPFILETIME, LPFILETIME, LPFILETIME), HANDLE h) {
  FILETIME created, ended, kernel, user;
  return times(h, &created, &ended, &kernel, &user) ? Seconds(kernel) + Seconds(user) : 0;
}

}  // namespace

std::wstring Short_Form(const std::wstring& dir) {
  if (dir.size() < MAX_PATH - 1) return dir;
  std::vector<wchar_t> s(32768);
  DWORD n = GetShortPathNameW(Long_Form(dir).c_str(), s.data(), 32768);
  std::wstring shorter(s.data(), n < 32768 ? n : 0);
  if (shorter.rfind(L"\\\\?\\", 0) == 0 && shorter.rfind(L"\\\\?\\UNC\\", 0) != 0) shorter.erase(0, 4);
  return !shorter.empty() && shorter.size() < dir.size() ? shorter : dir;
}

std::wstring Long_Name(const std::wstring& path) {
  std::vector<wchar_t> s(32768);
  DWORD n = GetLongPathNameW(Long_Form(path).c_str(), s.data(), 32768);
  if (n == 0 || n >= 32768) return path;
  std::wstring whole(s.data(), n);
  if (whole.rfind(L"\\\\?\\", 0) == 0 && whole.rfind(L"\\\\?\\UNC\\", 0) != 0) whole.erase(0, 4);
  return whole;
}

Stand_In::Stand_In(const std::wstring& original) {
  wchar_t temp[MAX_PATH + 1];
  DWORD n = GetTempPathW(MAX_PATH + 1, temp);
  if (n == 0 || n > MAX_PATH) return;
  for (int i = 0; i < 100 && folder.empty(); ++i) {
    std::wstring f = temp + (L"velder-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                             std::to_wstring(GetTickCount64() + static_cast<unsigned>(i)));
    if (CreateDirectoryW(f.c_str(), nullptr)) folder = f;
  }
  if (folder.empty()) return;
  std::wstring p = folder + original.substr(original.find_last_of(L"\\/"));
  std::wstring from = Long_Form(original);
  if (CreateHardLinkW(p.c_str(), from.c_str(), nullptr) || CopyFileW(from.c_str(), p.c_str(), TRUE))
    program = p;
}

Stand_In::~Stand_In() {
  if (!program.empty()) DeleteFileW(program.c_str());
  if (!folder.empty()) RemoveDirectoryW(folder.c_str());
}

double Cpu_Seconds(const PROCESS_INFORMATION& pi) {
  return std::max(Times(GetProcessTimes, pi.hProcess), Times(GetThreadTimes, pi.hThread));
}

long long Peak_Working_Set(HANDLE process) {
  PROCESS_MEMORY_COUNTERS m{};
  m.cb = sizeof m;
  return K32GetProcessMemoryInfo(process, &m, sizeof m)
             ? static_cast<long long>(m.PeakWorkingSetSize)
             : 0;
}

}  // namespace platform
