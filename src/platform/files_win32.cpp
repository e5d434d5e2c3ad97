#include <windows.h>

#include <string>

#include "platform/files.h"
#include "platform/utf16_win32.h"

namespace platform {

namespace {

bool Write_All(HANDLE h, const std::string& s) {
  std::size_t done = 0;
  while (done < s.size()) {
    DWORD k = 0;
    if (!WriteFile(h, s.data() + done, static_cast<DWORD>(s.size() - done), &k, nullptr) ||
        k == 0)
      return false;
    done += k;
  }
  return true;
}

HANDLE Create_Temp(const std::wstring& name, std::wstring& tmp) {
  for (int i = 0; i < 100; ++i) {
    tmp = name + L".tmp-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(i);
    HANDLE h = CreateFileW(tmp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) return h;
  }
  return INVALID_HANDLE_VALUE;
}

bool Clear_Directory_In_Way(const std::wstring& name) {
  DWORD a = GetFileAttributesW(name.c_str());
  if (a == INVALID_FILE_ATTRIBUTES || !(a & FILE_ATTRIBUTE_DIRECTORY)) return true;
  if (a & FILE_ATTRIBUTE_REPARSE_POINT) return true;  // a link: replaced itself
  return RemoveDirectoryW(name.c_str()) != 0;
}

bool Move_Over(const std::wstring& tmp, const std::wstring& name) {
  const DWORD flags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
  if (MoveFileExW(tmp.c_str(), name.c_str(), flags)) return true;
  // A hidden or read-only target can refuse the replace; clear it and try
  // once more, putting the attributes back if that fails too.
  DWORD a = GetFileAttributesW(name.c_str());
  if (a == INVALID_FILE_ATTRIBUTES || (a & FILE_ATTRIBUTE_DIRECTORY)) return false;
  SetFileAttributesW(name.c_str(), FILE_ATTRIBUTE_NORMAL);
  if (MoveFileExW(tmp.c_str(), name.c_str(), flags)) return true;
  SetFileAttributesW(name.c_str(), a);
  return false;
}

}  // namespace

bool Native_Path(std::string s, std::filesystem::path& p) {
  std::wstring w;
  if (!To_Wide(s, w)) return false;
  p = std::filesystem::path(w);
  return true;
}

std::string Separator() { return "\\"; }

bool Is_Plain_Name(std::string name) { return name.find_first_of("\\/:") == std::string::npos; }

bool Create_New_File(std::string path) {
  std::wstring w;
  if (path.empty() || path.find('\0') != std::string::npos || !To_Wide(path, w)) return false;
  HANDLE h = CreateFileW(w.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                         nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  // A reserved name (CON, NUL, COM1, ...) opens a device, not a new file.
  bool is_file = GetFileType(h) == FILE_TYPE_DISK;
  bool ok = CloseHandle(h) != 0;
  return is_file && ok;
}

bool Read_File(std::string name, std::string& content) {
  std::wstring w;
  if (!To_Wide(name, w)) return false;
  HANDLE h = CreateFileW(w.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  content.clear();
  bool ok = GetFileType(h) == FILE_TYPE_DISK;
  char buf[8192];
  while (ok) {
    DWORD k = 0;
    if (!ReadFile(h, buf, sizeof buf, &k, nullptr)) ok = false;
    if (!ok || k == 0) break;
    content.append(buf, k);
  }
  CloseHandle(h);
  return ok;
}

bool Replace_File(std::string name, std::string content) {
  std::wstring w, tmp;
  if (!To_Wide(name, w)) return false;
  HANDLE h = Create_Temp(w, tmp);
  if (h == INVALID_HANDLE_VALUE) return false;
  bool ok = Write_All(h, content) && FlushFileBuffers(h);
  ok = CloseHandle(h) && ok;
  if (ok) {
    SetFileAttributesW(tmp.c_str(), FILE_ATTRIBUTE_HIDDEN);
    ok = Clear_Directory_In_Way(w) && Move_Over(tmp, w);
  }
  if (!ok) {
    SetFileAttributesW(tmp.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(tmp.c_str());
  }
  return ok;
}

bool Is_Executable(std::string) { return false; }

void Hide_File(std::string name) {
  std::wstring w;
  if (To_Wide(name, w)) SetFileAttributesW(w.c_str(), FILE_ATTRIBUTE_HIDDEN);
}

}  // namespace platform
