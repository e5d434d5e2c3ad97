#include "platform/cache.h"

#include <windows.h>

#include <cstdlib>
#include <vector>

#include "platform/Windows/utf16.h"

namespace platform {

namespace {

bool All_Ascii(const std::wstring& w) {
  for (wchar_t c : w)
    if (c >= 0x80) return false;
  return true;
}

}  // namespace

std::string Cache_Home() {
  const wchar_t* v = _wgetenv(L"LOCALAPPDATA");
  if (!v || !*v) return std::string();
  std::wstring dir = v;
  if (All_Ascii(dir)) return To_Utf8(dir);
  // A folder without a short name (8.3 names switched off for the
  // volume) has none to give, and then there is no cache.
  std::vector<wchar_t> s(32768);
  DWORD n = GetShortPathNameW(dir.c_str(), s.data(), 32768);
  if (n == 0 || n >= 32768) return std::string();
  std::wstring shorter(s.data(), n);
  return All_Ascii(shorter) ? To_Utf8(shorter) : std::string();
}

File_Stamp Stamp_Of(std::string path) {
  File_Stamp f;
  std::wstring w;
  WIN32_FILE_ATTRIBUTE_DATA a;
  if (!To_Wide(path, w) || !GetFileAttributesExW(w.c_str(), GetFileExInfoStandard, &a) ||
      (a.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
    return f;
  f.ok = true;
  f.size = static_cast<long long>(a.nFileSizeHigh) << 32 | a.nFileSizeLow;
  f.mtime = static_cast<long long>(a.ftLastWriteTime.dwHighDateTime) << 32 |
            a.ftLastWriteTime.dwLowDateTime;
  return f;
}

long long Try_Lock(std::string path) {
  std::wstring w;
  if (!To_Wide(path, w)) return 0;
  // Opened with no sharing: nobody else opens it while it is held, and
  // the system closes it when the holder ends.
  HANDLE h = CreateFileW(w.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return 0;
  return reinterpret_cast<long long>(h);
}

void Unlock(long long lock) {
  if (lock != 0) CloseHandle(reinterpret_cast<HANDLE>(lock));
}

std::string Own_Folder() {
  std::vector<wchar_t> s(32768);
  DWORD n = GetModuleFileNameW(nullptr, s.data(), 32768);
  if (n == 0 || n >= 32768) return std::string();
  std::wstring exe(s.data(), n);
  std::size_t slash = exe.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::string() : To_Utf8(exe.substr(0, slash));
}

std::string Executable_Suffix() { return ".exe"; }

std::string Path_List_Separator() { return ";"; }

std::string Get_Env(std::string name) {
  std::wstring w;
  const wchar_t* v = To_Wide(name, w) ? _wgetenv(w.c_str()) : nullptr;
  return v ? To_Utf8(v) : std::string();
}

bool Has_Env(std::string name) {
  std::wstring w;
  return To_Wide(name, w) && _wgetenv(w.c_str()) != nullptr;
}

}  // namespace platform
