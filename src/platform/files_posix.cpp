#include <cerrno>
#include <cstdlib>
#include <string>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
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

// The process id in a temporary file name "NAME.tmp-PID-N", or 0.
pid_t Temp_Owner(const std::string& entry, const std::string& prefix) {
  if (entry.compare(0, prefix.size(), prefix) != 0) return 0;
  pid_t pid = 0;
  std::size_t i = prefix.size();
  for (; i < entry.size() && entry[i] >= '0' && entry[i] <= '9' && pid < 10000000; ++i)
    pid = pid * 10 + (entry[i] - '0');
  return i < entry.size() && entry[i] == '-' ? pid : 0;
}

// A save killed between creating its temporary file and the rename
// leaves that file behind; it is removed once its process is gone. The
// temporary file of another copy still saving here is left alone.
void Remove_Stale_Temps(const std::string& name) {
  std::size_t slash = name.rfind('/');
  std::string dir = slash == std::string::npos ? "." : name.substr(0, slash + 1);
  std::string prefix = name.substr(slash == std::string::npos ? 0 : slash + 1) + ".tmp-";
  DIR* d = opendir(dir.c_str());
  if (!d) return;
  while (struct dirent* e = readdir(d)) {
    pid_t pid = Temp_Owner(e->d_name, prefix);
    if (pid <= 0 || kill(pid, 0) == 0 || errno != ESRCH) continue;  // alive, or not ours
    std::string path = (slash == std::string::npos ? "" : dir) + e->d_name;
    struct stat st;
    if (lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) unlink(path.c_str());
  }
  closedir(d);
}

// Creates a fresh temporary file beside name; never opens an existing
// entry or follows a link.
int Create_Temp(const std::string& name, std::string& tmp, mode_t mode) {
  for (int i = 0; i < 100; ++i) {
    tmp = name + ".tmp-" + std::to_string(getpid()) + "-" + std::to_string(i);
    int fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

// What the new file is to be: the old file's permission bits, owner and
// group, or for a first file 0666 less the umask.
struct Final_Mode {
  mode_t mode;
  bool keep_owner = false;
  uid_t uid = 0;
  gid_t gid = 0;
};

Final_Mode Mode_For(const std::string& name) {
  Final_Mode f;
  struct stat st;
  if (stat(name.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
    f.mode = st.st_mode & 0777;
    f.keep_owner = true;
    f.uid = st.st_uid;
    f.gid = st.st_gid;
    return f;
  }
  mode_t mask = umask(0);
  umask(mask);
  f.mode = 0666 & ~mask;
  return f;
}

// The user's own file: owned by the effective user; for root under sudo,
// also by the user in SUDO_UID.
bool Own_File(const struct stat& st) {
  uid_t me = geteuid();
  if (st.st_uid == me) return true;
  if (me != 0) return false;
  const char* sudo = std::getenv("SUDO_UID");
  if (sudo == nullptr || *sudo == '\0') return false;
  char* end = nullptr;
  errno = 0;
  unsigned long uid = std::strtoul(sudo, &end, 10);
  return errno == 0 && *end == '\0' && sudo[0] != '-' && uid == st.st_uid;
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

Head Read_Head(std::string name, std::size_t lines, std::string& content) {
  content.clear();
  int fd = open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return Head::unreadable;
  struct stat st;
  Head r = Head::read;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
    r = Head::unreadable;
  else if (!Own_File(st))
    r = Head::foreign;
  char buf[8192];
  std::size_t seen = 0;  // LFs so far
  while (r == Head::read && seen < lines) {
    ssize_t k = read(fd, buf, sizeof buf);
    if (k < 0 && errno == EINTR) continue;
    if (k < 0) r = Head::unreadable;
    if (k <= 0) break;
    std::size_t from = content.size();
    content.append(buf, static_cast<std::size_t>(k));
    for (std::size_t lf = content.find('\n', from); lf != std::string::npos;
         lf = content.find('\n', lf + 1)) {
      if (++seen == lines) {
        content.resize(lf + 1);
        break;
      }
    }
  }
  close(fd);
  if (r != Head::read) content.clear();
  return r;
}

bool Replace_File(std::string name, std::string content) {
  Remove_Stale_Temps(name);
  Final_Mode f = Mode_For(name);
  std::string tmp;
  // Created with no more than the final mode allows, and owner-only,
  // until the content is in.
  int fd = Create_Temp(name, tmp, f.mode & 0600);
  if (fd < 0) return false;
  bool ok = Write_All(fd, content);
  if (ok) {
    Hide_File(tmp);  // while the owner may still write it
    if (f.keep_owner && (f.uid != geteuid() || f.gid != getegid()) && fchown(fd, f.uid, f.gid) != 0)
      (void)!fchown(fd, static_cast<uid_t>(-1), f.gid);  // the group alone, if we belong to it
    // The old group's rights are not handed to another group: that one
    // gets no more than everyone else had.
    struct stat now;
    mode_t mode = f.mode;
    if (f.keep_owner && (fstat(fd, &now) != 0 || now.st_gid != f.gid))
      mode = (mode & ~mode_t(0070)) | (mode & ((mode & 07) << 3));
    ok = fchmod(fd, mode) == 0 && fsync(fd) == 0;
  }
  ok = close(fd) == 0 && ok;
  if (ok) ok = Clear_Directory_In_Way(name) && rename(tmp.c_str(), name.c_str()) == 0;
  if (!ok) unlink(tmp.c_str());
  return ok;
}

bool Anything_At(std::string name) {
  struct stat st;
  return lstat(name.c_str(), &st) == 0 || (errno != ENOENT && errno != ENOTDIR);
}

bool Move_New(std::string from, std::string to) {
  // rename() would replace; a new link fails when anything is at to.
  if (link(from.c_str(), to.c_str()) != 0) return false;
  unlink(from.c_str());
  return true;
}

void Remove_File(std::string name) { unlink(name.c_str()); }

bool Is_Executable(std::string name) {
  struct stat st;
  return stat(name.c_str(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & 0111) != 0;
}

void Hide_File(std::string name) {
  // The form in which Samba and Wine keep the DOS hidden attribute.
  lsetxattr(name.c_str(), "user.DOSATTRIB", "0x2", 3, 0);
}

}  // namespace platform
