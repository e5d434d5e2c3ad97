#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include "platform/files.h"
#include "platform/words.h"

namespace platform {

namespace {

bool Write_All(int fd, const std::string& s) {
  std::size_t done = 0;
  while (done < s.size()) {
    ssize_t k = write(fd, s.data() + done, s.size() - done);
    if (k < 0 && errno == EINTR) continue;
    if (k == 0) errno = EIO;
    if (k <= 0) return false;
    done += static_cast<std::size_t>(k);
  }
  return true;
}

// What an error of a file operation means, in the program's words.
std::string Cause(int err) {
  switch (err) {
    case EACCES:
    case EPERM:
      return "没有权限";
    case EROFS:
      return "文件系统是只读的";
    case ENOSPC:
      return "磁盘空间不足";
    case EDQUOT:
      return "超出了磁盘配额";
    case EFBIG:
      return "超出了文件大小的限制";
    case ENOENT:
      return "目录已不存在";
    case ENOTEMPTY:
    case EEXIST:
      return "它是一个不为空的目录";
    case EISDIR:
      return "它是一个目录";
    case ELOOP:
      return "符号链接太多或成环";
    case EIO:
      return "读写出错";
    case EBUSY:
      return "文件正被占用";
  }
  return "错误 " + std::to_string(err) + "，" + std::strerror(err);
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
// group, or for a first file 0666 less the umask, readable by its owner.
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
  // The owner may always read it: a file the next start could not read
  // would be a save that is lost.
  f.mode = (0666 & ~mask) | 0400;
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

// Where a load or a save of name goes: name itself (none), or, for a
// symbolic link, the regular file at the end of its chain (followed).
// Every link on the way and the file must be the user's own: a link put
// in a shared folder by someone else must not steer the save onto one of
// the user's files. A chain that dangles, loops or ends elsewhere is
// broken.
enum class Link { none, followed, foreign, broken };

Link Follow_Links(const std::string& name, std::string& target, std::string& why) {
  target = name;
  struct stat st;
  int hops = 0;
  while (lstat(target.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    if (!Own_File(st)) {
      why = "它是指向别处的符号链接，而这个链接属于其他用户";
      return Link::foreign;
    }
    if (++hops > 40) {
      why = "它是符号链接，而" + Cause(ELOOP);
      return Link::broken;
    }
    std::string to(static_cast<std::size_t>(st.st_size) + 1, '\0');
    ssize_t k = readlink(target.c_str(), &to[0], to.size());
    if (k <= 0 || static_cast<std::size_t>(k) >= to.size()) {
      why = "它是符号链接，无法读出它指向哪里";
      return Link::broken;
    }
    to.resize(static_cast<std::size_t>(k));
    std::size_t slash = target.rfind('/');
    if (to[0] != '/' && slash != std::string::npos) to = target.substr(0, slash + 1) + to;
    target = to;
  }
  if (hops == 0) return Link::none;
  if (lstat(target.c_str(), &st) != 0) {
    why = "它是符号链接，指向的文件 " + target +
          (errno == ENOENT ? " 不存在" : " 无法访问（" + Cause(errno) + "）");
    return Link::broken;
  }
  if (!S_ISREG(st.st_mode)) {
    why = "它是符号链接，指向的 " + target + " 不是普通文件";
    return Link::broken;
  }
  if (!Own_File(st)) {
    why = "它是符号链接，指向的文件 " + target + " 属于其他用户";
    return Link::foreign;
  }
  return Link::followed;
}

// A regular file of another user: the save does not write over it, since
// the next start would refuse what it wrote and that user's settings
// would be gone.
bool Foreign_File(const std::string& name) {
  struct stat st;
  return lstat(name.c_str(), &st) == 0 && S_ISREG(st.st_mode) && !Own_File(st);
}

// An empty directory of the target's name gives way to the file; a
// directory with contents does not.
bool Clear_Directory_In_Way(const std::string& name) {
  struct stat st;
  if (lstat(name.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return true;
  return rmdir(name.c_str()) == 0;
}

}  // namespace

// No cmd.exe reads the command lines here; the quotes are still read as
// it reads them, and a NUL ends any path.
std::size_t Uncarried_At(std::string s) {
  for (std::size_t i = 0; i < s.size(); ++i)
    if (s[i] == '\0' || Cmd_Change_Of(s[i]) == Cmd_Change::quote) return i;
  return std::string::npos;
}

bool Native_Path(std::string s, std::filesystem::path& p) {
  p = std::filesystem::path(s);
  return true;
}

bool Native_Path_As_Typed(std::string s, std::filesystem::path& p) { return Native_Path(s, p); }

std::string Separator() { return "/"; }

std::string Null_Device() { return "/dev/null"; }

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

Head Read_Head(std::string name, std::size_t lines, std::size_t max_line) {
  Head h;
  std::string target;
  Link l = Follow_Links(name, target, h.why);
  if (l == Link::foreign) h.kind = Head::foreign;
  if (l == Link::broken) h.kind = Head::unreadable;
  if (h.kind != Head::read) return h;
  int fd = open(target.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    int err = errno;
    // Not readable by its owner's wish, or someone else's anyway.
    h.kind = Foreign_File(target) ? Head::foreign : Head::unreadable;
    h.why = Cause(err);
    return h;
  }
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    h.kind = Head::unreadable;
    h.why = "它不是普通文件";
  } else if (!Own_File(st)) {
    h.kind = Head::foreign;
  }
  char buf[65536];
  Head_Reader r{lines, max_line};
  while (h.kind == Head::read) {
    ssize_t k = read(fd, buf, sizeof buf);
    if (k < 0 && errno == EINTR) continue;
    if (k < 0) {
      h.kind = Head::unreadable;
      h.why = Cause(errno);
    }
    if (k <= 0 || !r.Add(h, buf, static_cast<std::size_t>(k))) break;
  }
  close(fd);
  if (h.kind != Head::read) {
    h.content.clear();
    h.dropped.clear();
  }
  return h;
}

bool Replace_File(std::string name, std::string content, std::string& why) {
  std::string target;
  Link l = Follow_Links(name, target, why);
  if (l == Link::foreign || l == Link::broken) return false;
  if (Foreign_File(target)) {
    why = "它属于其他用户，为安全起见没有覆盖";
    return false;
  }
  Remove_Stale_Temps(target);
  Final_Mode f = Mode_For(target);
  std::string tmp;
  // Created with no more than the final mode allows, and owner-only,
  // until the content is in.
  int fd = Create_Temp(target, tmp, f.mode & 0600);
  if (fd < 0) {
    why = "无法在它所在的目录中创建文件（" + Cause(errno) + "）";
    return false;
  }
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
  int err = errno;
  if (close(fd) != 0 && ok) {
    ok = false;
    err = errno;
  }
  if (!ok) {
    why = "无法写入新的内容（" + Cause(err) + "）";
  } else if (!Clear_Directory_In_Way(target)) {
    ok = false;
    why = errno == ENOTEMPTY || errno == EEXIST ? Cause(errno)
                                                : "无法删除同名的空目录（" + Cause(errno) + "）";
  } else if (rename(tmp.c_str(), target.c_str()) != 0) {
    ok = false;
    why = "无法用新文件替换它（" + Cause(errno) + "）";
  }
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
