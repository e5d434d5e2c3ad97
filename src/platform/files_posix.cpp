#include <cerrno>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include "platform/files.h"

namespace platform {

namespace {

bool Write_All(int fd, const std::string& s) {
  std::size_t done = 0;
  while (done < s.size()) {
    ssize_t k = write(fd, s.data() + done, s.size() - done);
    if (k < 0 && errno == EINTR) continue;
    if (k <= 0) return false;
    done += static_cast<std::size_t>(k);
  }
  return true;
}

// Creates a fresh temporary file beside name; never opens an existing
// entry or follows a link.
int Create_Temp(const std::string& name, std::string& tmp) {
  for (int i = 0; i < 100; ++i) {
    tmp = name + ".tmp-" + std::to_string(getpid()) + "-" + std::to_string(i);
    int fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

// An empty directory of the target's name gives way to the file; a
// directory with contents does not.
bool Clear_Directory_In_Way(const std::string& name) {
  struct stat st;
  if (lstat(name.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return true;
  return rmdir(name.c_str()) == 0;
}

}  // namespace

bool Native_Path(std::string s, std::filesystem::path& p) {
  p = std::filesystem::path(s);
  return true;
}

std::string Separator() { return "/"; }

bool Is_Plain_Name(std::string name) { return name.find('/') == std::string::npos; }

bool Create_New_File(std::string path) {
  if (path.empty() || path.find('\0') != std::string::npos) return false;
  // O_EXCL refuses anything already there, a dangling link included;
  // O_NONBLOCK keeps even a race with a FIFO from blocking.
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC,
                0666);
  if (fd < 0) return false;
  return close(fd) == 0;
}

bool Read_File(std::string name, std::string& content) {
  int fd = open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return false;
  }
  content.clear();
  char buf[8192];
  for (;;) {
    ssize_t k = read(fd, buf, sizeof buf);
    if (k < 0 && errno == EINTR) continue;
    if (k < 0) {
      close(fd);
      return false;
    }
    if (k == 0) break;
    content.append(buf, static_cast<std::size_t>(k));
  }
  close(fd);
  return true;
}

bool Replace_File(std::string name, std::string content) {
  std::string tmp;
  int fd = Create_Temp(name, tmp);
  if (fd < 0) return false;
  bool ok = Write_All(fd, content) && fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  if (ok) {
    Hide_File(tmp);
    ok = Clear_Directory_In_Way(name) && rename(tmp.c_str(), name.c_str()) == 0;
  }
  if (!ok) unlink(tmp.c_str());
  return ok;
}

bool Is_Executable(std::string name) {
  struct stat st;
  return stat(name.c_str(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & 0111) != 0;
}

void Hide_File(std::string name) {
  // The form in which Samba and Wine keep the DOS hidden attribute.
  lsetxattr(name.c_str(), "user.DOSATTRIB", "0x2", 3, 0);
}

}  // namespace platform
