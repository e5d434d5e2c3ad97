// One program started and waited for: its folder, its input and output,
// its limits, how it ended and what it used.
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/process.h"

namespace {

namespace fs = std::filesystem;

struct Dir {
  fs::path path;
  Dir() {
    std::string t = (fs::temp_directory_path() / "velder-process-XXXXXX").string();
    path = mkdtemp(&t[0]);
  }
  ~Dir() { fs::remove_all(path); }
  std::string operator/(const char* name) const { return (path / name).string(); }
};

std::string Read(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

platform::Process_Spec Shell(const std::string& script) {
  platform::Process_Spec s;
  s.argv = {"/bin/sh", "-c", script};
  return s;
}

TEST(Process, HowItEnded) {
  struct Case {
    std::vector<std::string> argv;
    bool started, signaled;
    long long code;
    int status, error;
  };
  for (const Case& c : {Case{{"/bin/sh", "-c", "exit 3"}, true, false, 3, 3, 0},
                        Case{{"/bin/sh", "-c", "kill -TERM $$"}, true, true, SIGTERM, 143, 0},
                        Case{{"/no/such/program"}, false, false, 0, 127, ENOENT},
                        Case{{"/"}, false, false, 0, 127, EACCES},
                        Case{{}, false, false, 0, 127, ENOENT}}) {
    platform::Process_Spec s;
    s.argv = c.argv;
    platform::Process_End e = platform::Run_Process(s);
    EXPECT_EQ(e.started, c.started);
    EXPECT_EQ(e.signaled, c.signaled);
    EXPECT_EQ(e.code, c.code);
    EXPECT_EQ(e.error, c.error);
    EXPECT_EQ(platform::Exit_Status(e), c.status);
  }
}

// A folder, an input and an output of its own, with spaces in the names;
// an output that exists is emptied first.
TEST(Process, FolderInputAndOutput) {
  Dir d;
  fs::create_directory(d.path / "sub dir");
  std::ofstream(d / "in put") << "from the file\n";
  std::ofstream(d / "out put") << "old text that is longer\n";
  platform::Process_Spec s = Shell("pwd; cat; echo x > beside");
  s.dir = d / "sub dir";
  s.input = d / "in put";
  s.output = d / "out put";
  platform::Process_End e = platform::Run_Process(s);
  EXPECT_EQ(platform::Exit_Status(e), 0);
  EXPECT_EQ(Read(d / "out put"), d / "sub dir" + "\nfrom the file\n");
  EXPECT_TRUE(fs::exists(d.path / "sub dir" / "beside"));
  // A folder or an input that is not there: not started, and why.
  for (auto bad : {&platform::Process_Spec::dir, &platform::Process_Spec::input}) {
    platform::Process_Spec t = Shell("exit 0");
    t.*bad = d / "missing";
    e = platform::Run_Process(t);
    EXPECT_FALSE(e.started);
    EXPECT_EQ(e.error, ENOENT);
  }
}

// Each limit ends the program and says so; the figures are lower bounds
// only, since the machine may be loaded.
TEST(Process, Limits) {
  Dir d;
  platform::Process_Spec s = Shell("while :; do :; done");
  s.cpu_limit = 1;
  platform::Process_End e = platform::Run_Process(s);
  EXPECT_TRUE(e.cpu_exceeded && e.signaled && e.code == SIGXCPU) << e.code;
  EXPECT_GE(e.cpu_seconds, 0.5);
  EXPECT_FALSE(e.timed_out || e.output_exceeded);

  s = Shell("exec sleep 30");
  s.wall_limit = 0.3;
  e = platform::Run_Process(s);
  EXPECT_TRUE(e.timed_out && e.signaled && e.code == SIGKILL) << e.code;
  EXPECT_GE(e.seconds, 0.3);
  EXPECT_FALSE(e.cpu_exceeded);

  s = Shell("head -c 100000 /dev/zero; echo past the limit >&2");
  s.output = d / "out";
  s.output_limit = 1000;
  e = platform::Run_Process(s);
  EXPECT_TRUE(e.output_exceeded) << e.code;
  EXPECT_EQ(fs::file_size(d / "out"), 1001u);
  s.argv = {"/usr/bin/head", "-c", "100000", "/dev/zero"};
  e = platform::Run_Process(s);
  EXPECT_TRUE(e.output_exceeded && e.signaled && e.code == SIGXFSZ) << e.code;

  // Within every limit: nothing is said, and the figures are there.
  s = Shell("exit 0");
  s.cpu_limit = 5;
  s.wall_limit = 30;
  s.output_limit = 10;
  e = platform::Run_Process(s);
  EXPECT_EQ(platform::Exit_Status(e), 0);
  EXPECT_FALSE(e.timed_out || e.cpu_exceeded || e.output_exceeded);
  EXPECT_GT(e.peak_bytes, 0);
  EXPECT_GT(e.seconds, 0);
}

}  // namespace

namespace {

// The environment changed as asked, the rest as it is; standard output
// and error through the sink in the order written, also what a program
// left behind wrote before the end, without waiting for it.
TEST(Process, EnvironmentAndOutputThroughTheSink) {
  setenv("VELDER_KEEP", "kept", 1);
  setenv("VELDER_GONE", "x", 1);
  platform::Process_Spec s = Shell(
      "echo \"$VELDER_KEEP ${VELDER_GONE-unset} $VELDER_NEW\"; echo err >&2; "
      "head -c 200000 /dev/zero | tr '\\0' a; (sleep 5 &) ; exit 4");
  s.env = {{"VELDER_NEW", "new 值", false}, {"VELDER_GONE", "", true}, {"VELDER_NEW", "新", false}};
  std::string out;
  int chunks = 0;
  s.on_output = [&](const std::string& c) {
    out += c;
    ++chunks;
  };
  platform::Process_End e = platform::Run_Process(s);
  unsetenv("VELDER_KEEP");
  unsetenv("VELDER_GONE");
  EXPECT_EQ(platform::Exit_Status(e), 4);
  EXPECT_EQ(out, "kept unset 新\nerr\n" + std::string(200000, 'a'));
  EXPECT_GE(chunks, 2);
}

}  // namespace
