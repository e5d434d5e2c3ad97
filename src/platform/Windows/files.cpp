#include <windows.h>

#include <string>

#include "platform/files.h"
#include "platform/Windows/utf16.h"
#include "platform/words.h"

namespace platform {

namespace {

bool Write_All(HANDLE h, const std::string& s) {
  std::size_t done = 0;
  while (done < s.size()) {
    DWORD k = 0;
    if (!WriteFile(h, s.data() + done, static_cast<DWORD>(s.size() - done), &k, nullptr))
      return false;
    if (k == 0) {
      SetLastError(ERROR_WRITE_FAULT);
      return false;
    }
    done += k;
  }
  return true;
}

// What an error of a file operation means, in the program's words.
std::string Cause(DWORD err) {
  switch (err) {
    case ERROR_ACCESS_DENIED:
    case ERROR_PRIVILEGE_NOT_HELD:
      return "没有权限";
    case ERROR_WRITE_PROTECT:
      return "磁盘有写保护";
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return "磁盘空间不足";
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_DIRECTORY:
      return "目录已不存在";
    case ERROR_DIR_NOT_EMPTY:
      return "它是一个不为空的目录";
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_USER_MAPPED_FILE:
      return "文件正被其他程序占用";
    case ERROR_CANT_RESOLVE_FILENAME:
      return "符号链接太多或成环";
    case ERROR_NO_UNICODE_TRANSLATION:
      return "文件名不是有效的 UTF-8";
  }
  return "错误 " + std::to_string(err);
}

// Where a save of name goes: for a symbolic link to a file, the file at
// the end of its chain, so that the save replaces that file and keeps the
// link; otherwise (other reparse points too, such as a cloud file's
// placeholder) name itself. False, with why, for a link that leads to no
// regular file.
bool Final_Path(const std::wstring& name, std::wstring& target, std::string& why) {
  target = name;
  WIN32_FIND_DATAW fd;
  HANDLE f = FindFirstFileW(name.c_str(), &fd);
  if (f == INVALID_HANDLE_VALUE) return true;
  FindClose(f);
  if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) || fd.dwReserved0 != IO_REPARSE_TAG_SYMLINK)
    return true;
  if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return true;  // a folder link: replaced itself
  const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  HANDLE h = CreateFileW(name.c_str(), 0, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                         nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    why = "它是符号链接，无法打开它指向的文件（" + Cause(GetLastError()) + "）";
    return false;
  }
  BY_HANDLE_FILE_INFORMATION info;
  wchar_t buf[32768];
  DWORD n = 0;
  bool file = GetFileInformationByHandle(h, &info) &&
              !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && GetFileType(h) == FILE_TYPE_DISK;
  if (file) n = GetFinalPathNameByHandleW(h, buf, 32768, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  CloseHandle(h);
  if (!file) {
    why = "它是符号链接，指向的不是普通文件";
    return false;
  }
  if (n == 0 || n >= 32768) {
    why = "它是符号链接，无法得知它指向哪里";
    return false;
  }
  target.assign(buf, n);
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

// A path whose full form reaches the old limit of 260 characters (less
// the room CreateDirectory keeps for a name) is handed to the calls in
// the "\\?\" form, which they take whatever the system's long path
// setting: absolute, with "/", "." and ".." already resolved, since that
// form takes every character literally.
std::wstring Long_Form(const std::wstring& w) {
  if (w.compare(0, 4, L"\\\\?\\") == 0 || w.compare(0, 4, L"\\\\.\\") == 0) return w;
  DWORD n = GetFullPathNameW(w.c_str(), 0, nullptr, nullptr);
  if (n < MAX_PATH - 12) return w;
  std::wstring full(n, L'\0');
  n = GetFullPathNameW(w.c_str(), n, &full[0], nullptr);
  if (n == 0 || n >= full.size()) return w;
  full.resize(n);
  if (full.compare(0, 2, L"\\\\") == 0) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

}  // namespace

std::size_t Uncarried_At(std::string s) { return Cmd_Changed_At(s); }

bool Native_Path(std::string s, std::filesystem::path& p) {
  std::wstring w;
  if (Uncarried_At(s) != std::string::npos || !To_Wide(s, w)) return false;
  p = std::filesystem::path(Long_Form(w));
  return true;
}

bool Native_Path_As_Typed(std::string s, std::filesystem::path& p) {
  std::wstring w;
  if (s.find('\0') != std::string::npos || !To_Wide(s, w)) return false;
  p = std::filesystem::path(Long_Form(w));
  return true;
}

std::string Separator() { return "\\"; }

std::string Null_Device() { return "NUL"; }

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

Head Read_Head(std::string name, std::size_t lines, std::size_t max_line) {
  Head h;
  std::wstring w;
  if (!To_Wide(name, w)) {
    h.kind = Head::unreadable;
    h.why = Cause(ERROR_NO_UNICODE_TRANSLATION);
    return h;
  }
  // Another copy saving in this folder at this moment replaces the file
  // by a rename, which a reader without FILE_SHARE_DELETE would refuse.
  const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  HANDLE f = CreateFileW(w.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) {
    h.kind = Head::unreadable;
    h.why = Cause(GetLastError());
    return h;
  }
  if (GetFileType(f) != FILE_TYPE_DISK) {
    h.kind = Head::unreadable;
    h.why = "它不是普通文件";
  }
  char buf[65536];
  Head_Reader r{lines, max_line};
  while (h.kind == Head::read) {
    DWORD k = 0;
    if (!ReadFile(f, buf, sizeof buf, &k, nullptr)) {
      h.kind = Head::unreadable;
      h.why = Cause(GetLastError());
    }
    if (h.kind != Head::read || k == 0 || !r.Add(h, buf, k)) break;
  }
  CloseHandle(f);
  if (h.kind != Head::read) {
    h.content.clear();
    h.dropped.clear();
  }
  return h;
}

bool Replace_File(std::string name, std::string content, std::string& why) {
  std::wstring named, w, tmp;
  if (!To_Wide(name, named)) {
    why = Cause(ERROR_NO_UNICODE_TRANSLATION);
    return false;
  }
  if (!Final_Path(named, w, why)) return false;
  Remove_Stale_Temps(w);
  HANDLE h = Create_Temp(w, tmp);
  if (h == INVALID_HANDLE_VALUE) {
    why = "无法在它所在的文件夹中创建文件（" + Cause(GetLastError()) + "）";
    return false;
  }
  bool ok = Write_All(h, content) && FlushFileBuffers(h);
  DWORD err = GetLastError();
  if (!CloseHandle(h) && ok) {
    ok = false;
    err = GetLastError();
  }
  if (!ok) {
    why = "无法写入新的内容（" + Cause(err) + "）";
  } else {
    SetFileAttributesW(tmp.c_str(), FILE_ATTRIBUTE_HIDDEN);
    if (!Clear_Directory_In_Way(w)) {
      ok = false;
      err = GetLastError();
      why = err == ERROR_DIR_NOT_EMPTY ? Cause(err) : "无法删除同名的空文件夹（" + Cause(err) + "）";
    } else if (!Move_Over(tmp, w)) {
      ok = false;
      why = "无法用新文件替换它（" + Cause(GetLastError()) + "）";
    }
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
