#include <windows.h>

#include <tlhelp32.h>

#include <filesystem>
#include <vector>

#include "platform/files.h"
#include "platform/running.h"
#include "platform/Windows/utf16.h"

namespace platform {

namespace {

// A file as the system knows it, whatever path leads there.
struct File_Id {
  DWORD volume = 0, high = 0, low = 0;
};

bool Id_Of(const std::wstring& path, File_Id& id) {
  const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  HANDLE h = CreateFileW(path.c_str(), 0, share, nullptr, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info;
  bool ok = GetFileInformationByHandle(h, &info) != 0;
  CloseHandle(h);
  if (ok) id = {info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
  return ok;
}

bool operator==(const File_Id& a, const File_Id& b) {
  return a.volume == b.volume && a.high == b.high && a.low == b.low;
}

std::wstring Base_Name(const std::wstring& path) {
  std::size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// True when the process behind h runs the file want, named base.
bool Runs(HANDLE h, const File_Id& want, const std::wstring& base) {
  std::wstring image(32768, L'\0');
  DWORD n = static_cast<DWORD>(image.size());
  if (!QueryFullProcessImageNameW(h, 0, &image[0], &n)) return false;
  image.resize(n);
  // Only a file of the same name is opened to compare: most processes
  // have nothing to do with it.
  if (CompareStringOrdinal(Base_Name(image).c_str(), -1, base.c_str(), -1, TRUE) != CSTR_EQUAL)
    return false;
  // (A path with a character no command line carries cannot be the
  // file velder was given, which Native_Path refuses along with it.)
  File_Id id;
  std::filesystem::path p;
  if (!Native_Path(To_Utf8(image), p) || !Id_Of(p.wstring(), id)) return false;
  return id == want;
}

// Handles, opened with access, of the other processes running path.
std::vector<HANDLE> Open_Running(const std::string& path, DWORD access) {
  std::vector<HANDLE> found;
  std::filesystem::path p;
  File_Id want;
  if (!Native_Path(path, p) || !Id_Of(p.wstring(), want)) return found;
  std::wstring base = Base_Name(p.wstring());
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snap == INVALID_HANDLE_VALUE) return found;
  PROCESSENTRY32W e;
  e.dwSize = sizeof e;
  for (BOOL more = Process32FirstW(snap, &e); more; more = Process32NextW(snap, &e)) {
    if (e.th32ProcessID == 0 || e.th32ProcessID == GetCurrentProcessId()) continue;
    HANDLE h = OpenProcess(access | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, e.th32ProcessID);
    if (h == nullptr) continue;
    if (Runs(h, want, base))
      found.push_back(h);
    else
      CloseHandle(h);
  }
  CloseHandle(snap);
  return found;
}

}  // namespace

int Running_Copies(std::string path) {
  std::vector<HANDLE> found = Open_Running(path, 0);
  for (HANDLE h : found) CloseHandle(h);
  return static_cast<int>(found.size());
}

bool End_Running_Copies(std::string path) {
  // One that may be seen but not ended (another user's) stays.
  std::size_t seen = static_cast<std::size_t>(Running_Copies(path));
  // The identity is checked and the process ended through one handle, so
  // a process id taken over meanwhile by another program is never hit.
  std::vector<HANDLE> found = Open_Running(path, PROCESS_TERMINATE | SYNCHRONIZE);
  bool ended = found.size() >= seen;
  for (HANDLE h : found) TerminateProcess(h, ENDED_FOR_REBUILD);
  ULONGLONG deadline = GetTickCount64() + 5000;
  for (HANDLE h : found) {
    ULONGLONG now = GetTickCount64();
    DWORD left = now < deadline ? static_cast<DWORD>(deadline - now) : 0;
    ended = WaitForSingleObject(h, left) == WAIT_OBJECT_0 && ended;
    CloseHandle(h);
  }
  return ended;
}

}  // namespace platform
