// Faults around the save at the exit: a file size limit, a kill at any
// moment, a directory that cannot be written. The settings file is always
// the old content or the new, whole, and never missing. The save keeps the
// file's permissions and owner; a huge file or one that belongs to another
// user is not taken in whole; output that cannot be written (its reader
// gone, or a non-blocking descriptor that is full) costs no settings.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <thread>

#include <fcntl.h>
#include <linux/fs.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "harness.h"

namespace {

// Written by hand with LF and extra lines, so that the save, which writes
// CR LF and three values, always changes it.
const std::string OLD = "/old/g++\n/old/pauser\n-O1\nextra line\n";
const std::string NEW = "/old/g++\r\n/old/pauser\r\n-O1";

std::vector<std::string> Entries(const std::string& dir) {
  std::vector<std::string> v;
  for (auto& e : std::filesystem::directory_iterator(dir)) v.push_back(e.path().filename().string());
  std::sort(v.begin(), v.end());
  return v;
}

const std::string NOT_SAVED = "设置文件 velder_data.sg 未能保存：";

// A save that failed for why: said on standard error (after what the
// start said, if anything) and on the screen, where the farewell would
// be; the pause; status 2.
void Expect_Failed_Save(const Result& r, const std::string& why, const std::string& what,
                        const std::string& at_start = "") {
  std::string said = NOT_SAVED + why + "。";
  EXPECT_EQ(r.out, Cls_Dumb() + Main_Page_Text() + Cls_Dumb() + said + "\n\n" + PAUSE_PROMPT + "\n")
      << what;
  EXPECT_EQ(r.err, at_start + "velder: " + said + "\n") << what;
  EXPECT_EQ(r.status, 2) << what;
}

TEST(Faults, FileSizeLimitKeepsTheOldFile) {
  for (std::string limit : {"0", "1", "10", "25"}) {
    Temp_Dir d;
    Write_File_Bytes(d / "velder_data.sg", OLD);
    Options o = In(d.path());
    o.program = Helper("with_file_limit_posix");
    o.args = {limit, VELDER_BIN};
    Result r = Run_Piped(o, "4\n");
    Expect_Failed_Save(r, "无法写入新的内容（超出了文件大小的限制）", limit);
    EXPECT_EQ(Read_File_Bytes(d / "velder_data.sg"), OLD) << limit;
    EXPECT_EQ(Entries(d.path()), std::vector<std::string>{"velder_data.sg"}) << limit;
  }
  // The new content is 26 bytes: a limit that allows them lets the save through.
  Temp_Dir d;
  Write_File_Bytes(d / "velder_data.sg", OLD);
  Options o = In(d.path());
  o.program = Helper("with_file_limit_posix");
  o.args = {"26", VELDER_BIN};
  EXPECT_EQ(Run_Piped(o, "4\n").status, 0);
  EXPECT_EQ(Read_File_Bytes(d / "velder_data.sg"), NEW);
}

using Clock = std::chrono::steady_clock;

// Seconds from sending "4" to the first byte of the farewell, which
// follows the save: the window the kills aim at.
double Time_To_Farewell() {
  Temp_Dir d;
  Write_File_Bytes(d / "velder_data.sg", OLD);
  Live s(In(d.path()), Input::pipe);
  s.Wait_For("4. 保存信息并退出\n\n");
  auto t0 = Clock::now();
  s.Type("4\n");
  s.Wait_For("将");
  return std::chrono::duration<double>(Clock::now() - t0).count();
}

class KillDuringSave : public testing::TestWithParam<int> {};

TEST_P(KillDuringSave, LeavesTheOldOrTheNewFileWhole) {
  const int RUNS = 75;
  double window = std::max(Time_To_Farewell(), 0.001);
  unsigned seed = static_cast<unsigned>(Clock::now().time_since_epoch().count()) + GetParam();
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> delay(0, window);
  int old_seen = 0, new_seen = 0, mid_save = 0;
  for (int i = 0; i < RUNS; ++i) {
    Temp_Dir d;
    Write_File_Bytes(d / "velder_data.sg", OLD);
    Live s(In(d.path()), Input::pipe);
    ASSERT_TRUE(s.Wait_For("4. 保存信息并退出\n\n"));
    s.Type("4\n");
    std::this_thread::sleep_for(std::chrono::duration<double>(delay(rng)));
    s.Signal(SIGKILL);
    s.End();
    std::string now = Read_File_Bytes(d / "velder_data.sg");
    ASSERT_TRUE(std::filesystem::is_regular_file(d / "velder_data.sg")) << "seed " << seed;
    ASSERT_TRUE(now == OLD || now == NEW) << "seed " << seed << " run " << i << ": " << now;
    (now == OLD ? old_seen : new_seen)++;
    // A kill between creating the temporary file and the rename leaves it;
    // nothing else may appear.
    std::vector<std::string> entries = Entries(d.path());
    if (entries.size() > 1) ++mid_save;
    for (const std::string& e : entries)
      EXPECT_TRUE(e == "velder_data.sg" || e.rfind("velder_data.sg.tmp-", 0) == 0) << e;
    if (entries.size() > 1 && mid_save == 1) {
      // The next orderly save clears the leftover of the killed one.
      EXPECT_EQ(Run_Piped(In(d.path()), "4\n").status, 0);
      EXPECT_EQ(Entries(d.path()), std::vector<std::string>{"velder_data.sg"});
    }
  }
  std::printf(
      "kills: %d, old file kept: %d (%d of them mid-save, temporary file left), new file "
      "complete: %d (window %.1f ms, seed %u)\n",
      RUNS, old_seen, mid_save, new_seen, window * 1000, seed);
  // Both sides of the save were hit, or the kills missed what they aim at.
  EXPECT_GT(old_seen, 0);
  EXPECT_GT(new_seen, 0);
}

INSTANTIATE_TEST_SUITE_P(Shards, KillDuringSave, testing::Range(0, 4));

// Makes dir unwritable even for root, in one of two ways; false (with
// why) when this system allows neither. The destructor undoes it.
class Unwritable {
 public:
  Unwritable(const std::string& dir, const std::string& how) : dir_(dir), how_(how) {}
  bool Apply(std::string& why) {
    if (how_ == "immutable") return Set_Immutable(true, why);
    if (mount(dir_.c_str(), dir_.c_str(), nullptr, MS_BIND, nullptr) != 0) {
      why = std::string("bind mount: ") + std::strerror(errno);
      return false;
    }
    mounted_ = true;
    if (mount(nullptr, dir_.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0) {
      why = std::string("read-only remount: ") + std::strerror(errno);
      return false;
    }
    return true;
  }
  ~Unwritable() {
    std::string why;
    if (how_ == "immutable") Set_Immutable(false, why);
    if (mounted_) umount2(dir_.c_str(), MNT_DETACH);
  }

 private:
  bool Set_Immutable(bool on, std::string& why) {
    int fd = open(dir_.c_str(), O_RDONLY | O_DIRECTORY);
    int flags = 0;
    bool ok = fd >= 0 && ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (ok) {
      flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
      ok = ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    if (!ok) why = std::string("immutable attribute: ") + std::strerror(errno);
    if (fd >= 0) close(fd);
    return ok;
  }
  std::string dir_, how_;
  bool mounted_ = false;
};

TEST(Faults, UnwritableDirectoryKeepsTheOldFile) {
  std::vector<std::string> ways = {"immutable", "read-only bind mount"};
  if (geteuid() != 0) ways = {"permissions"};
  int done = 0;
  std::string reasons;
  for (const std::string& how : ways) {
    Temp_Dir d;
    std::string sub = d / "work";
    std::filesystem::create_directory(sub);
    Write_File_Bytes(sub + "/velder_data.sg", OLD);
    std::string why;
    Unwritable guard(sub, how);
    if (how == "permissions") {
      std::filesystem::permissions(sub, std::filesystem::perms::owner_read |
                                            std::filesystem::perms::owner_exec);
    } else if (!guard.Apply(why)) {
      reasons += why + "; ";
      continue;
    }
    // Root ignores permissions; make sure the directory really refuses.
    int probe = open((sub + "/probe").c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    if (probe >= 0) {
      close(probe);
      unlink((sub + "/probe").c_str());
      reasons += how + ": still writable; ";
      continue;
    }
    Result r = Run_Piped(In(sub), "4\n");
    Expect_Failed_Save(r,
                       how == "read-only bind mount" ? "无法在它所在的目录中创建文件（文件系统是只读的）"
                                                     : "无法在它所在的目录中创建文件（没有权限）",
                       how);
    EXPECT_EQ(Read_File_Bytes(sub + "/velder_data.sg"), OLD) << how;
    EXPECT_EQ(Entries(sub), std::vector<std::string>{"velder_data.sg"}) << how;
    std::printf("unwritable by %s: old file kept\n", how.c_str());
    ++done;
  }
  if (done == 0) GTEST_SKIP() << "!!! SKIPPED: no way to make a directory unwritable here: " << reasons;
}

const std::string FOREIGN_MESSAGE =
    "velder: 设置文件 velder_data.sg 属于其他用户，为安全起见未载入，设置为空。\n";
const std::string FOREIGN_WHY =
    "它属于其他用户，为安全起见没有覆盖；可删除这个文件，或在你自己的文件夹中运行 velder";
const std::string REPLACED_MESSAGE =
    "velder: 设置文件 velder_data.sg 原属于其他用户；这个文件夹是你的，已换成你自己的设置文件。\n";

// Runs "4" in dir with the given umask; the mode and owner of the file after.
struct stat Save_With_Umask(const Temp_Dir& d, mode_t mask, Options o) {
  mode_t old = umask(mask);
  Result r = Run_Piped(o, "4\n");
  umask(old);
  EXPECT_EQ(r.status, 0) << r.err;
  struct stat st {};
  EXPECT_EQ(stat((d / "velder_data.sg").c_str(), &st), 0);
  return st;
}

TEST(SettingsFile, SaveKeepsThePermissionBits) {
  struct Case {
    mode_t old_mode;  // 0: no file yet
    mode_t mask, want;
  };
  for (Case c : {Case{0600, 0, 0600}, Case{0640, 022, 0640}, Case{0604, 077, 0604},
                 Case{0444, 022, 0444}, Case{0, 022, 0644}, Case{0, 077, 0600}, Case{0, 0, 0666},
                 Case{0, 0777, 0400}}) {
    Temp_Dir d;
    if (c.old_mode) {
      Write_File_Bytes(d / "velder_data.sg", OLD);
      chmod((d / "velder_data.sg").c_str(), c.old_mode);
    }
    struct stat st = Save_With_Umask(d, c.mask, In(d.path()));
    EXPECT_EQ(st.st_mode & 07777, c.want) << std::oct << c.old_mode << " umask " << c.mask;
    EXPECT_EQ(Read_File_Bytes(d / "velder_data.sg"), c.old_mode ? NEW : "\r\n\r\n");
    EXPECT_EQ(Entries(d.path()), std::vector<std::string>{"velder_data.sg"});
  }
}

// Where a test needs root: Root::here when the tests run as root; else the
// test runs once more as root through passwordless sudo, a user's usual
// way to be root, and reports Root::done with its result checked; or
// Root::none, where there is no such way.
enum class Root { here, done, none };

Root As_Root() {
  if (geteuid() == 0) return Root::here;
  Options probe = In("/");
  probe.program = "/usr/bin/sudo";
  probe.args = {"-n", "true"};
  if (access(probe.program.c_str(), X_OK) != 0 || Run_Piped(probe, "").status != 0) return Root::none;
  const ::testing::TestInfo* t = ::testing::UnitTest::GetInstance()->current_test_info();
  Options o = probe;
  o.args = {"-n", std::filesystem::read_symlink("/proc/self/exe").string(),
            std::string("--gtest_filter=") + t->test_suite_name() + "." + t->name()};
  Result r = Run_Piped(o, "");
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("[  PASSED  ] 1 test"), std::string::npos) << r.out;
  return Root::done;
}

// As root: a file of another user (65534) is not loaded, and says so.
// In root's own folder the save then replaces it with root's own file,
// says so once, and the next start loads that.
// Under sudo the file of the user in SUDO_UID counts as one's own: loaded,
// and saved with its owner, group and mode kept.
TEST(SettingsFile, ForeignFileIsNotLoaded) {
  Root root = As_Root();
  if (root == Root::done) return;
  if (root == Root::none)
    GTEST_SKIP() << "!!! SKIPPED: needs root, or sudo without a password, to give a file away";
  struct Case {
    std::string sudo_uid;  // empty: unset
    bool loaded;
  };
  for (Case c : {Case{"", false}, Case{"1234", false}, Case{"65534", true}, Case{"x65534", false}}) {
    Temp_Dir d;
    std::string f = d / "velder_data.sg";
    Write_File_Bytes(f, OLD);
    ASSERT_EQ(chown(f.c_str(), 65534, 65534), 0);
    chmod(f.c_str(), 0640);
    Options o = In(d.path());
    if (c.sudo_uid.empty())
      o.unset = {"SUDO_UID"};
    else
      o.env = {{"SUDO_UID", c.sudo_uid}};
    Result r = Run_Piped(o, "4\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, Cls_Dumb() + Main_Page_Text() + Cls_Dumb() + FAREWELL);
    EXPECT_EQ(r.err, c.loaded ? "" : FOREIGN_MESSAGE + REPLACED_MESSAGE) << c.sudo_uid;
    EXPECT_EQ(Read_File_Bytes(f), c.loaded ? NEW : "\r\n\r\n") << c.sudo_uid;
    struct stat st {};
    ASSERT_EQ(stat(f.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, c.loaded ? 65534u : 0u);
    EXPECT_EQ(st.st_mode & 0600, 0600u);
    EXPECT_EQ(Entries(d.path()), std::vector<std::string>{"velder_data.sg"});
    if (!c.loaded) {
      EXPECT_EQ(Run_Piped(o, "4\n").err, "") << "loaded at the next start";
    }
  }
}

// Options that run the built velder as uid 65534 (through setpriv), from
// a copy the user may reach, wherever the build directory lies.
Options As_User(const Temp_Dir& bin, const std::string& cwd) {
  std::string copy = bin / "velder-copy";
  if (!Exists(copy)) {
    chmod(bin.path().c_str(), 0755);
    Write_File_Bytes(copy, Read_File_Bytes(VELDER_BIN));
    chmod(copy.c_str(), 0755);
  }
  Options o = In(cwd);
  o.program = "/usr/bin/setpriv";
  o.args = {"--reuid=65534", "--regid=65534", "--clear-groups", copy};
  return o;
}

// An ordinary user (65534) does not load root's file, SUDO_UID or not,
// nor write over it in root's folder, and the refusal says how to mend
// it. In the user's own folder (left behind by a run under sudo) the save
// replaces it. A file of the user's own in root's group is saved, in the
// user's group, which gets no more than everyone had.
TEST(SettingsFile, UserDoesNotLoadRootsFile) {
  if (access("/usr/bin/setpriv", X_OK) != 0) GTEST_SKIP() << "!!! SKIPPED: needs setpriv (util-linux)";
  Root root = As_Root();
  if (root == Root::done) return;
  if (root == Root::none) GTEST_SKIP() << "!!! SKIPPED: needs root, or sudo without a password";
  Temp_Dir bin;
  for (std::pair<mode_t, mode_t> m : {std::pair<mode_t, mode_t>{0644, 0644}, {0664, 0644}}) {
    for (uid_t owner : {0u, 65534u, 1u}) {  // 1: root's file in the user's folder
      Temp_Dir d;
      chmod(d.path().c_str(), 0777);
      if (owner == 1) {
        ASSERT_EQ(chown(d.path().c_str(), 65534, 65534), 0);
      }
      std::string f = d / "velder_data.sg";
      Write_File_Bytes(f, OLD);
      chmod(f.c_str(), m.first);
      ASSERT_EQ(chown(f.c_str(), owner == 1 ? 0 : owner, 0), 0);
      Options o = As_User(bin, d.path());
      o.env = {{"SUDO_UID", "0"}};
      Result r = Run_Piped(o, "4\n");
      struct stat st {};
      ASSERT_EQ(stat(f.c_str(), &st), 0);
      if (owner == 0) {
        Expect_Failed_Save(r, FOREIGN_WHY, "root's file", FOREIGN_MESSAGE);
        EXPECT_EQ(Read_File_Bytes(f), OLD);
        EXPECT_EQ(st.st_uid, 0u);
        EXPECT_EQ(st.st_mode & 07777, m.first);
      } else if (owner == 1) {
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, FOREIGN_MESSAGE + REPLACED_MESSAGE);
        EXPECT_EQ(Read_File_Bytes(f), "\r\n\r\n");
        EXPECT_EQ(st.st_uid, 65534u);
        EXPECT_EQ(Run_Piped(o, "4\n").err, "") << "loaded at the next start";
      } else {
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(Read_File_Bytes(f), NEW);
        EXPECT_EQ(st.st_uid, 65534u);
        EXPECT_EQ(st.st_gid, 65534u);  // a user may not keep a group it is not in
        EXPECT_EQ(st.st_mode & 07777, m.second) << std::oct << m.first;
      }
    }
  }
}

// Every way a save can fail: the reason on standard error and on the
// screen, status 2, the old file (if there is one) byte for byte and
// nothing else left in the folder.
TEST(Faults, FailedSaveSaysWhy) {
  enum Place { file, full_directory, folder_removed };  // what the save meets
  struct Case {
    const char* name;
    Place place;
    std::string why;
    std::string at_start;  // what the start says on standard error
    bool as_user;          // run as uid 65534, the folder and the file given to it
    mode_t dir_mode, file_mode;
    uid_t file_owner;
    std::string limit;  // a file size limit, or none
  };
  const std::string UNREAD =
      "velder: 无法读取设置文件 velder_data.sg（没有权限），设置为空；为免丢失其中的设置，退出时不会覆盖它。\n";
  const Case cases[] = {
      {"read-only folder", file, "无法在它所在的目录中创建文件（没有权限）", "", true, 0555, 0644, 65534, ""},
      {"file size limit", file, "无法写入新的内容（超出了文件大小的限制）", "", false, 0755, 0644, 0, "10"},
      {"folder removed", folder_removed, "无法在它所在的目录中创建文件（目录已不存在）", "", false, 0755, 0644, 0, ""},
      {"directory with contents", full_directory, "它是一个不为空的目录", "", false, 0755, 0644, 0, ""},
      {"sticky folder, another user's file", file, FOREIGN_WHY, FOREIGN_MESSAGE, true, 01777, 0644, 0, ""},
      {"unreadable file of the user's own", file, "启动时无法读取它，为免丢失其中的设置，没有覆盖", UNREAD,
       true, 0777, 0200, 65534, ""},
  };
  bool root_ways = geteuid() == 0 && access("/usr/bin/setpriv", X_OK) == 0;
  Temp_Dir bin;
  for (const Case& c : cases) {
    if (c.as_user && !root_ways) {
      std::printf("!!! SKIPPED: %s: needs root and setpriv\n", c.name);
      continue;
    }
    Temp_Dir base;
    std::string d = base / "work";
    std::filesystem::create_directory(d);
    std::string f = d + "/velder_data.sg";
    if (c.place == full_directory) {
      std::filesystem::create_directories(f + "/inner");
    } else {
      Write_File_Bytes(f, OLD);
      chmod(f.c_str(), c.file_mode);
    }
    Options o = In(d);
    if (c.as_user) {
      o = As_User(bin, d);
      chmod(base.path().c_str(), 0755);
      ASSERT_EQ(chown(d.c_str(), 65534, 65534), 0);
      ASSERT_EQ(chown(f.c_str(), c.file_owner, c.file_owner), 0);
    }
    chmod(d.c_str(), c.dir_mode);
    if (!c.limit.empty()) {
      o.args = {c.limit, VELDER_BIN};
      o.program = Helper("with_file_limit_posix");
    }
    std::vector<std::string> before = Entries(d);
    if (c.place == folder_removed) {
      Live ch(o, Input::pipe);
      ASSERT_TRUE(ch.Wait_For("4. 保存信息并退出\n\n"));
      std::filesystem::remove_all(d);
      ch.Type("4\n");
      ch.Close_Input();
      Result r = ch.End();
      EXPECT_EQ(r.out, Cls_Dumb() + Main_Page_Text() + Cls_Dumb() + NOT_SAVED + c.why + "。\n\n" +
                           PAUSE_PROMPT + "\n");
      EXPECT_EQ(r.status, 2);
      EXPECT_FALSE(Exists(d));
      continue;
    }
    Result r = Run_Piped(o, "4\n");
    Expect_Failed_Save(r, c.why, c.name, c.at_start);
    chmod(d.c_str(), 0755);
    if (c.place == file) {
      EXPECT_EQ(Read_File_Bytes(f), OLD) << c.name;
    }
    EXPECT_EQ(Entries(d), before) << c.name;
  }
}

// The bytes a process has read so far (rchar of /proc/PID/io), or -1.
long long Bytes_Read(pid_t pid) {
  std::string io = Read_File_Bytes("/proc/" + std::to_string(pid) + "/io");
  std::size_t at = io.find("rchar: ");
  return at == std::string::npos ? -1 : std::atoll(io.c_str() + at + 7);
}

// Three short lines, then a hole of 256 MiB (no disk used): only the lines
// are read, not the rest, counted by the kernel once the main page shows.
TEST(SettingsFile, HugeFileReadsOnlyItsThreeLines) {
  const off_t HOLE = off_t(256) << 20;
  Temp_Dir d;
  std::string f = d / "velder_data.sg";
  Write_File_Bytes(f, "/big/g++\n/big/pauser\r\n-O3\n");
  ASSERT_EQ(truncate(f.c_str(), HOLE), 0);
  Live s(In(d.path()), Input::pipe);
  ASSERT_TRUE(s.Wait_For("4. 保存信息并退出\n\n"));
  long long read_bytes = Bytes_Read(s.pid());
  s.Type("4\n");
  s.Close_Input();
  EXPECT_EQ(s.End().status, 0);
  EXPECT_EQ(Read_File_Bytes(f), "/big/g++\r\n/big/pauser\r\n-O3");
  // Whatever the loader and the runtime read, far less than the hole.
  if (read_bytes < 0) GTEST_SKIP() << "!!! SKIPPED: no /proc/PID/io to count the bytes read";
  EXPECT_LT(read_bytes, HOLE / 8) << "bytes read at start";
  std::printf("bytes read by the start, settings file of %lld bytes: %lld\n",
              static_cast<long long>(HOLE), read_bytes);
}

// velder | head: the reader goes away after the first page. velder goes
// on through the input, to choice 4, and saves.
TEST(Output, ReaderGoneStillSaves) {
  for (bool read_first : {true, false}) {
    Temp_Dir d;
    Write_File_Bytes(d / "velder_data.sg", OLD);
    Live s(In(d.path()), Input::pipe);
    if (read_first) {
      ASSERT_TRUE(s.Wait_For("4. 保存信息并退出\n\n"));
    }
    s.Close_Output();
    s.Type("3\n3\n-O2 -Wall\n5\n4\n");
    s.Close_Input();
    EXPECT_EQ(s.End().status, 0);
    EXPECT_EQ(Read_File_Bytes(d / "velder_data.sg"), "/old/g++\r\n/old/pauser\r\n-O2 -Wall");
  }
}

// Standard output a non-blocking pipe that is full when velder starts:
// every byte arrives, in order, once the reader catches up.
TEST(Output, NonBlockingFullPipeLosesNothing) {
  Temp_Dir d, e;
  std::string input = "3\n4\n5\n4\n";
  std::string plain = Run_Piped(In(e.path()), input).out;
  int out[2];
  ASSERT_EQ(pipe(out), 0);
  fcntl(out[0], F_SETPIPE_SZ, 4096);
  fcntl(out[1], F_SETFL, fcntl(out[1], F_GETFL) | O_NONBLOCK);
  std::string fill;
  for (;;) {
    std::string block(512, 'f');
    ssize_t k = write(out[1], block.data(), block.size());
    if (k <= 0) break;
    fill.append(block, 0, static_cast<std::size_t>(k));
  }
  ASSERT_FALSE(fill.empty());
  Options o = In(d.path());
  o.out_fd = out[1];
  Live s(o, Input::pipe);
  close(out[1]);
  s.Type(input);
  s.Close_Input();
  usleep(500000);  // velder meets the full pipe
  std::string got;
  char buf[4096];
  for (;;) {
    ssize_t k = read(out[0], buf, sizeof buf);
    if (k < 0 && errno == EINTR) continue;
    if (k <= 0) break;
    got.append(buf, static_cast<std::size_t>(k));
  }
  close(out[0]);
  EXPECT_EQ(s.End().status, 0);
  EXPECT_EQ(got, fill + plain);
}

}  // namespace
