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

// A save killed between creating its temporary file and the rename
// leaves "NAME.tmp-PID-N" behind; it is removed once that process is
// gone. The temporary file of another copy still saving is left alone.
void Remove_Stale_Temps(const std::wstring& name) {
  std::size_t slash = name.find_last_of(L"\\/");
  std::wstring dir = slash == std::wstring::npos ? L"" : name.substr(0, slash + 1);
  std::wstring prefix = name.substr(slash == std::wstring::npos ? 0 : slash + 1) + L".tmp-";
  WIN32_FIND_DATAW fd;
  HANDLE f = FindFirstFileW((name + L".tmp-*").c_str(), &fd);
  if (f == INVALID_HANDLE_VALUE) return;
  do {
    std::wstring entry = fd.cFileName;
    if (entry.compare(0, prefix.size(), prefix) != 0) continue;
    DWORD pid = 0;
    std::size_t i = prefix.size();
    for (; i < entry.size() && entry[i] >= L'0' && entry[i] <= L'9' && pid < 100000000; ++i)
      pid = pid * 10 + (entry[i] - L'0');
    if (pid == 0 || i >= entry.size() || entry[i] != L'-') continue;
    HANDLE p = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (p) {
      CloseHandle(p);
      continue;
    }
    if (GetLastError() != ERROR_INVALID_PARAMETER) continue;  // there, but not ours to see
    std::wstring path = dir + entry;
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(path.c_str());
  } while (FindNextFileW(f, &fd));
  FindClose(f);
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

// Every path the program takes ends up between double quotes on a line
// that cmd.exe reads, and a few characters act even there: "%NAME%" is
// replaced by the variable's value; "!NAME!" too when delayed expansion
// is switched on (the registry can do that for every cmd.exe), which
// then also drops each "^" of the line; a line feed ends the command and
// a carriage return vanishes. A path holding one of these names nothing
// here, so no program ever gets another path than the one typed. (None
// of the control characters can be in a Windows file name anyway, nor
// can the double quote, which is refused before this.)
bool Carried_By_Cmd(const std::string& s) {
  for (unsigned char c : s)
    if (c == '%' || c == '!' || c < 0x20) return false;
  return true;
}

}  // namespace

bool Native_Path(std::string s, std::filesystem::path& p) {
  std::wstring w;
  if (!Carried_By_Cmd(s) || !To_Wide(s, w)) return false;
  p = std::filesystem::path(w);
  return true;
}

std::string Separator() { return "\\"; }

bool Is_Plain_Name(std::string name) { return name.find_first_of("\\/:") == std::string::npos; }

bool Create_New_File(std::string path) {
  // A file no command line could name is not made either.
  std::filesystem::path p;
  if (path.empty() || path.find('\0') != std::string::npos || !Native_Path(path, p)) return false;
  std::wstring w = p.wstring();
  HANDLE h = CreateFileW(w.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                         nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  // A reserved name (CON, NUL, COM1, ...) opens a device, not a new file.
  bool is_file = GetFileType(h) == FILE_TYPE_DISK;
  bool ok = CloseHandle(h) != 0;
  return is_file && ok;
}

Head Read_Head(std::string name, std::size_t lines, std::string& content) {
  content.clear();
  std::wstring w;
  if (!To_Wide(name, w)) return Head::unreadable;
  // Another copy saving in this folder at this moment replaces the file
  // by a rename, which a reader without FILE_SHARE_DELETE would refuse.
  const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  HANDLE h = CreateFileW(w.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return Head::unreadable;
  bool ok = GetFileType(h) == FILE_TYPE_DISK;
  char buf[8192];
  std::size_t seen = 0;  // LFs so far
  while (ok && seen < lines) {
    DWORD k = 0;
    if (!ReadFile(h, buf, sizeof buf, &k, nullptr)) ok = false;
    if (!ok || k == 0) break;
    std::size_t from = content.size();
    content.append(buf, k);
    for (std::size_t lf = content.find('\n', from); lf != std::string::npos;
         lf = content.find('\n', lf + 1)) {
      if (++seen == lines) {
        content.resize(lf + 1);
        break;
      }
    }
  }
  CloseHandle(h);
  if (!ok) content.clear();
  return ok ? Head::read : Head::unreadable;
}

bool Replace_File(std::string name, std::string content) {
  std::wstring w, tmp;
  if (!To_Wide(name, w)) return false;
  Remove_Stale_Temps(w);
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

bool Anything_At(std::string name) {
  std::wstring w;
  if (!To_Wide(name, w)) return true;
  if (GetFileAttributesW(w.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
  DWORD e = GetLastError();
  return e != ERROR_FILE_NOT_FOUND && e != ERROR_PATH_NOT_FOUND;
}

bool Move_New(std::string from, std::string to) {
  std::wstring f, t;
  if (!To_Wide(from, f) || !To_Wide(to, t)) return false;
  // Without MOVEFILE_REPLACE_EXISTING the move fails when to exists.
  return MoveFileExW(f.c_str(), t.c_str(), MOVEFILE_WRITE_THROUGH) != 0;
}

void Remove_File(std::string name) {
  std::wstring w;
  if (To_Wide(name, w)) DeleteFileW(w.c_str());
}

bool Is_Executable(std::string) { return false; }

void Hide_File(std::string name) {
  std::wstring w;
  if (To_Wide(name, w)) SetFileAttributesW(w.c_str(), FILE_ATTRIBUTE_HIDDEN);
}

}  // namespace platform
