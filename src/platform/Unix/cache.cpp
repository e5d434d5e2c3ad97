#include "platform/cache.h"

#include <cstdlib>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

std::string Cache_Home() {
  // The XDG rule: a relative value is ignored.
  std::string xdg = Get_Env("XDG_CACHE_HOME");
  if (!xdg.empty() && xdg[0] == '/') return xdg;
  std::string home = Get_Env("HOME");
  if (home.empty() || home[0] != '/') return std::string();
  return home + "/.cache";
}

File_Stamp Stamp_Of(std::string path) {
  File_Stamp f;
  struct stat st;
  if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return f;
  f.ok = true;
  f.size = static_cast<long long>(st.st_size);
  f.mtime = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
  return f;
}

long long Try_Lock(std::string path) {
  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return 0;
  // flock belongs to the open file: it goes when the holder dies.
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    close(fd);
    return 0;
  }
  return fd + 1LL;
}

void Unlock(long long lock) {
  if (lock > 0) close(static_cast<int>(lock - 1));
}

std::string Own_Folder() {
  char buf[4096];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf);
  if (n <= 0 || static_cast<std::size_t>(n) >= sizeof buf) return std::string();
  std::string exe(buf, static_cast<std::size_t>(n));
  std::size_t slash = exe.rfind('/');
  return slash == std::string::npos ? std::string() : exe.substr(0, slash == 0 ? 1 : slash);
}

std::string Executable_Suffix() { return std::string(); }

std::string Path_List_Separator() { return ":"; }

std::string Get_Env(std::string name) {
  const char* v = std::getenv(name.c_str());
  return v ? v : "";
}

bool Has_Env(std::string name) { return std::getenv(name.c_str()) != nullptr; }

}  // namespace platform
