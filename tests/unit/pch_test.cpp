// The precompiled <bits/stdc++.h>: when it applies, its key, and, with
// the real g++, that every program compiles as with g++ alone, whatever
// state the cache is in. The cache is always a fresh folder here
// (XDG_CACHE_HOME and HOME), never the user's.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include <unistd.h>

#include "build/pch.h"
#include "platform/process.h"

namespace {

namespace fs = std::filesystem;

const char GXX[] = "/usr/bin/g++";
const char OPTIONS[] = "-O2 -std=c++17";

struct Dir {
  fs::path path;
  Dir() {
    std::string t = (fs::temp_directory_path() / "velder-pch-XXXXXX").string();
    path = mkdtemp(&t[0]);
  }
  ~Dir() { fs::remove_all(path); }
  std::string operator/(const std::string& name) const { return (path / name).string(); }
};

std::string Read(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

void Write(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// The cache in a folder of the test's own, for as long as it lives.
struct Own_Cache {
  Dir dir;
  Own_Cache() {
    setenv("XDG_CACHE_HOME", (dir / "cache").c_str(), 1);
    setenv("HOME", dir.path.c_str(), 1);
    unsetenv("VELDER_NO_PCH");
    unsetenv("CPLUS_INCLUDE_PATH");
  }
  std::string folder() const { return Pch_Folder(); }
};

TEST(Pch, WhenItApplies) {
  struct Case {
    const char* options;
    bool allowed;
  };
  for (const Case& c : {Case{"", true}, Case{"-O2 -std=c++17 -Wall", true},
                        Case{"-O2 -lm -Wl,--stack=268435456 -static", true},
                        Case{"-DLOCAL -fsanitize=address,undefined", true},
                        Case{"-I include", false}, Case{"-Iinclude", false},
                        Case{"-isystem x", false}, Case{"-include a.h", false},
                        Case{"-nostdinc++", false}, Case{"--sysroot=/x", false},
                        Case{"-x c++", false}, Case{"-E", false}, Case{"-S", false},
                        Case{"-c", false}, Case{"-o x", false}, Case{"@opts.txt", false},
                        Case{"-DX=%PATH%", false}, Case{"-DX=\"a b\"", false},
                        Case{"-O2\n-g", false}, Case{"-O2 & calc", false}})
    EXPECT_EQ(Options_Allow_Pch(c.options), c.allowed) << c.options;

  std::vector<std::string> in = {"-O2", "-lm", "-L", "/x", "-Lfoo", "-Wl,-z,now", "-s", "-static",
                                 "-Wall", "-Xlinker", "--as-needed", "-std=c++17", "-MMD", "-pthread"};
  EXPECT_EQ(Header_Options(in), (std::vector<std::string>{"-O2", "-Wall", "-std=c++17", "-pthread"}));
}

TEST(Pch, FaultSigns) {
  const std::string entry = "/c/velder/pch/0123456789abcdef";
  struct Case {
    std::string output;
    bool fault;
  };
  for (const Case& c :
       {Case{"a.cpp:1: fatal error: cannot read PCH file: Invalid argument", true},
        Case{"x/bits/stdc++.h.gch: created by a different GCC executable", true},
        Case{"a.cpp:1: internal compiler error: Segmentation fault", true},
        Case{"one or more precompiled headers were invalid", true},
        Case{entry + "/bits/stdc++.h:1:10: fatal error: bits/stdc++.h: No such file", true},
        Case{"In file included from " + entry + "/bits/stdc++.h:1,\n                 from a.cpp:2:\n"
             "/usr/include/c++/12/bits/stl_algo.h:1950:5: error: no match", false},
        Case{"a.cpp:3:5: error: 'x' was not declared in this scope", false}})
    EXPECT_EQ(Pch_Fault_In(c.output, entry), c.fault) << c.output;
}

TEST(Pch, KeyFollowsOptionsAndCompiler) {
  platform::File_Stamp st;
  st.ok = true, st.size = 100, st.mtime = 5;
  Compiler_Id id{true, "12.2.0", "x86_64-linux-gnu"};
  std::string base = Pch_Key(GXX, st, id, "-O2");
  struct Change {
    const char* what;
    std::string key;
  };
  platform::File_Stamp bigger = st, newer = st;
  bigger.size = 101, newer.mtime = 6;
  Compiler_Id other_version = id, other_target = id;
  other_version.version = "13.1.0", other_target.target = "x86_64-w64-mingw32";
  for (const Change& c : {Change{"options", Pch_Key(GXX, st, id, "-O3")},
                          Change{"option text", Pch_Key(GXX, st, id, "-O2 ")},
                          Change{"path", Pch_Key("/usr/bin/g++-12", st, id, "-O2")},
                          Change{"size", Pch_Key(GXX, bigger, id, "-O2")},
                          Change{"mtime", Pch_Key(GXX, newer, id, "-O2")},
                          Change{"version", Pch_Key(GXX, st, other_version, "-O2")},
                          Change{"target", Pch_Key(GXX, st, other_target, "-O2")}}) {
    EXPECT_NE(c.key, base) << c.what;
    EXPECT_NE(Pch_Entry_Name(c.key), Pch_Entry_Name(base)) << c.what;
  }
  EXPECT_EQ(Pch_Key(GXX, st, id, "-O2"), base);
  EXPECT_EQ(Pch_Entry_Name(base).size(), 16u);
}

TEST(Pch, OffAndNotGcc) {
  Own_Cache cache;
  Write(cache.dir / "a.cpp", "#include <bits/stdc++.h>\nint main() {}\n");
  Write(cache.dir / "b.cpp", "#include <iostream>\nint main() {}\n");
  // A compiler that does not answer as GCC does.
  Write(cache.dir / "cc", "#!/bin/sh\necho 'error: no input files' >&2\nexit 1\n");
  fs::permissions(cache.dir / "cc", fs::perms::owner_all);
  struct Case {
    const char* what;
    const char* no_pch;
    std::string compiler, source;
    Pch_Plan::State state;
  };
  for (const Case& c : {Case{"used", nullptr, GXX, "a.cpp", Pch_Plan::absent},
                        Case{"switched off", "1", GXX, "a.cpp", Pch_Plan::off},
                        Case{"not the header", nullptr, GXX, "b.cpp", Pch_Plan::off},
                        Case{"not gcc", nullptr, cache.dir / "cc", "a.cpp", Pch_Plan::off},
                        Case{"relative compiler", nullptr, "g++", "a.cpp", Pch_Plan::off}}) {
    if (c.no_pch)
      setenv("VELDER_NO_PCH", c.no_pch, 1);
    else
      unsetenv("VELDER_NO_PCH");
    EXPECT_EQ(Plan_Pch(c.compiler, OPTIONS, cache.dir / c.source).state, c.state) << c.what;
    EXPECT_TRUE(Pch_Env(Plan_Pch(c.compiler, OPTIONS, cache.dir / c.source)).empty()) << c.what;
  }
  unsetenv("VELDER_NO_PCH");
  // Nothing was written but the cache folder itself.
  EXPECT_TRUE(fs::is_empty(cache.folder()));
}

// A build killed at any moment leaves nothing at the final name, and the
// next build is not held up by it.
// Kills every process of a session; how many there were.
int Kill_Session(pid_t session) {
  int n = 0;
  for (const auto& e : fs::directory_iterator("/proc")) {
    std::string stat = Read((e.path() / "stat").string());
    std::size_t close = stat.rfind(')');
    if (close == std::string::npos) continue;
    std::istringstream fields(stat.substr(close + 2));
    std::string state;
    long ppid = 0, group = 0, sid = 0;
    fields >> state >> ppid >> group >> sid;
    if (sid == session && kill(static_cast<pid_t>(std::atol(e.path().filename().c_str())), SIGKILL) == 0) ++n;
  }
  return n;
}

TEST(Pch, KilledBuildLeavesNothing) {
  Own_Cache cache;
  std::string fake = cache.dir / "fake-g++";
  Write(fake,
        "#!/bin/sh\n"
        "case \"$1\" in -dumpfullversion) echo 12.2.0; exit 0;; -dumpmachine) echo x86_64-linux-gnu; exit 0;; esac\n"
        "cut -d' ' -f6 /proc/$$/stat > \"$(dirname \"$0\")/session\"\n"
        "while [ $# -gt 1 ]; do [ \"$1\" = -o ] && out=$2; shift; done\n"
        "head -c 100000 /dev/zero > \"$out\"; sleep 30\n");
  fs::permissions(fake, fs::perms::owner_all);
  Write(cache.dir / "a.cpp", "#include <bits/stdc++.h>\n");
  Pch_Plan plan = Plan_Pch(fake, OPTIONS, cache.dir / "a.cpp");
  ASSERT_EQ(plan.state, Pch_Plan::absent);
  ASSERT_TRUE(Start_Pch_Build(plan, PCH_BIN));
  // Building: the lock is held, and velder starts no second build.
  for (int i = 0; i < 100 && Plan_Pch(fake, OPTIONS, cache.dir / "a.cpp").state != Pch_Plan::building; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(Plan_Pch(fake, OPTIONS, cache.dir / "a.cpp").state, Pch_Plan::building);
  EXPECT_FALSE(Start_Pch_Build(Plan_Pch(fake, OPTIONS, cache.dir / "a.cpp"), PCH_BIN));
  // The helper leads a session of its own, the whole build: every process
  // of it is killed, as a logout or a shutdown would.
  for (int i = 0; i < 100 && Read(cache.dir / "session").empty(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));  // the file half written
  pid_t session = static_cast<pid_t>(std::atol(Read(cache.dir / "session").c_str()));
  ASSERT_GT(session, 1);
  ASSERT_GT(Kill_Session(session), 0);
  for (int i = 0; i < 100 && Plan_Pch(fake, OPTIONS, cache.dir / "a.cpp").state == Pch_Plan::building; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(Plan_Pch(fake, OPTIONS, cache.dir / "a.cpp").state, Pch_Plan::absent);
  EXPECT_FALSE(fs::exists(plan.entry + "/bits/stdc++.h.gch"));
  // What it left is a temporary file, which the next trim clears away.
  auto temporaries = [&] {
    int n = 0;
    for (const auto& f : fs::directory_iterator(plan.entry)) n += f.path().extension() == ".tmp";
    return n;
  };
  EXPECT_EQ(temporaries(), 1);
  Trim_Pch(cache.folder());
  EXPECT_TRUE(fs::exists(plan.entry + "/key"));
  EXPECT_EQ(temporaries(), 0);
}

// The bounds: four entries, about 500 MB, the least recently used going
// first; entries of compilers that are gone, and old temporary files.
TEST(Pch, Bounded) {
  Own_Cache cache;
  std::string folder = cache.folder();
  fs::create_directories(folder);
  std::string compiler = cache.dir / "g++";
  Write(compiler, "stands in");
  Compiler_Id id{true, "12.2.0", "x86_64-linux-gnu"};
  auto now = fs::file_time_type::clock::now();
  // An entry whose header is size MiB (sparse), used minutes ago.
  auto make = [&](const std::string& options, long long mib, int minutes, const std::string& of) {
    std::string key = Pch_Key(of, platform::Stamp_Of(of), id, options);
    std::string entry = folder + "/" + Pch_Entry_Name(key);
    fs::create_directories(entry + "/bits");
    Write(entry + "/key", key);
    Write(entry + "/bits/stdc++.h.gch", "");
    fs::resize_file(entry + "/bits/stdc++.h.gch", static_cast<std::uintmax_t>(mib) << 20);
    Write(entry + "/used", "");
    fs::last_write_time(entry + "/used", now - std::chrono::minutes(minutes));
    return entry;
  };
  struct Case {
    std::vector<std::pair<long long, int>> entries;  // MiB, minutes since use
    std::vector<bool> kept;
  };
  for (const Case& c : {Case{{{100, 1}, {100, 2}, {100, 3}, {100, 4}, {100, 5}, {100, 6}},
                             {true, true, true, true, false, false}},
                        Case{{{100, 6}, {100, 5}, {100, 4}, {100, 3}, {100, 2}, {100, 1}},
                             {false, false, true, true, true, true}},
                        Case{{{200, 1}, {200, 2}, {200, 3}}, {true, true, false}},
                        Case{{{600, 1}, {10, 2}}, {false, true}}}) {
    std::vector<std::string> entries;
    for (std::size_t i = 0; i < c.entries.size(); ++i)
      entries.push_back(make("-O" + std::to_string(i), c.entries[i].first, c.entries[i].second, compiler));
    Trim_Pch(folder);
    for (std::size_t i = 0; i < entries.size(); ++i) {
      EXPECT_EQ(fs::exists(entries[i]), c.kept[i]) << i;
      fs::remove_all(entries[i]);
    }
  }
  // Gone or changed compilers, and temporary files an hour old.
  std::string gone = cache.dir / "gone-g++";
  Write(gone, "x");
  std::string of_gone = make("-O2", 1, 1, gone), kept = make("-O2", 1, 1, compiler);
  fs::remove(gone);
  Write(folder + "/id-1.tmp", ""), Write(folder + "/id-2.tmp", "");
  fs::last_write_time(folder + "/id-1.tmp", now - std::chrono::minutes(61));
  Trim_Pch(folder);
  EXPECT_FALSE(fs::exists(of_gone));
  EXPECT_TRUE(fs::exists(kept));
  EXPECT_FALSE(fs::exists(folder + "/id-1.tmp"));
  EXPECT_TRUE(fs::exists(folder + "/id-2.tmp"));
  Write(compiler, "changed!!");
  Trim_Pch(folder);
  EXPECT_FALSE(fs::exists(kept));
}

// With the real compiler: one header built by the helper, then programs
// that must compile and behave as with g++ alone, and damaged headers.
class Pch_Gxx : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!fs::exists(GXX)) return;
    cache_ = new Own_Cache;
    Write(cache_->dir / "a.cpp", "#include <bits/stdc++.h>\nint main() {}\n");
    Pch_Plan plan = Plan_Pch(GXX, OPTIONS, cache_->dir / "a.cpp");
    if (plan.state != Pch_Plan::absent || !Start_Pch_Build(plan, PCH_BIN)) return;
    for (int i = 0; i < 3000 && Plan_Pch(GXX, OPTIONS, cache_->dir / "a.cpp").state != Pch_Plan::ready; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    entry_ = plan.entry;
    fs::copy_file(entry_ + "/bits/stdc++.h.gch", cache_->dir / "good.gch");
  }
  static void TearDownTestSuite() { delete cache_; }
  void SetUp() override {
    if (!fs::exists(GXX)) GTEST_SKIP() << "no g++";
    ASSERT_EQ(Plan_Pch(GXX, OPTIONS, cache_->dir / "a.cpp").state, Pch_Plan::ready)
        << Read(entry_ + "/bad");
  }
  // Compiles the program through the plan: status, whether it fell
  // back, and whether -H... is not asked: the output is returned.
  static Pch_Compile Compile(const std::string& program, std::string& output, std::string& exe) {
    std::string src = cache_->dir / "p.cpp";
    exe = cache_->dir / "p.exe";
    Write(src, program);
    platform::Compile_Request r{GXX, OPTIONS, exe, src, {}, [&output](const std::string& s) { output += s; }};
    return Compile_With_Pch(r, Plan_Pch(GXX, OPTIONS, src), platform::Compile, [&output](const char* line) {
      output += std::string(line) + "\n";
    });
  }
  static int Run(const std::string& exe) {
    platform::Process_Spec s;
    s.argv = {exe};
    s.output = exe + ".out";
    s.error_to_output = true;
    s.foreground = false;
    return platform::Exit_Status(platform::Run_Process(s));
  }
  static Own_Cache* cache_;
  static std::string entry_;
};
Own_Cache* Pch_Gxx::cache_ = nullptr;
std::string Pch_Gxx::entry_;

TEST_F(Pch_Gxx, ProgramsBehaveAsWithGxxAlone) {
  struct Case {
    const char* what;
    const char* program;
    int run_status;
  };
  const char* const OUT_OF_RANGE = "std::vector<int> v(1);\nint main() { return v[3] + 7; }\n";
  for (const Case& c :
       {Case{"plain", "#include <bits/stdc++.h>\nint main() { std::vector<int> v{1, 2}; return v[1]; }\n", 2},
        Case{"twice", "#include <bits/stdc++.h>\n#include <bits/stdc++.h>\nint main() { return 3; }\n", 3},
        Case{"int as long long",
             "#include <bits/stdc++.h>\n#define int long long\nsigned main() { return sizeof(int); }\n", 8},
        Case{"macro first", "#define LOCAL\n#include <bits/stdc++.h>\nint main() { return 6; }\n", 6},
        // Its checks stay: the access out of range aborts.
        Case{"debug mode", "#define _GLIBCXX_DEBUG\n#include <bits/stdc++.h>\n", 128 + SIGABRT},
        Case{"iostream only", "#include <iostream>\nint main() { std::cout << 1; return 4; }\n", 4},
        // The program's own error, shown inside the library reached by
        // way of the entry: no fallback, the entry stays.
        Case{"own error", "#define LOCAL\n#include <bits/stdc++.h>\nint main() { std::vector<int> v; std::sort(v.begin(), 3); }\n", -1}}) {
    std::string output, exe, program = c.program;
    if (std::string(c.what) == "debug mode") program += OUT_OF_RANGE;
    Pch_Compile r = Compile(program, output, exe);
    EXPECT_EQ(r.status != 0, c.run_status < 0) << c.what << "\n" << output;
    EXPECT_FALSE(r.fell_back) << c.what << "\n" << output;
    if (c.run_status >= 0) {
      EXPECT_EQ(Run(exe), c.run_status) << c.what;
    }
  }
  EXPECT_TRUE(fs::exists(entry_ + "/bits/stdc++.h.gch"));
}

TEST_F(Pch_Gxx, DamagedHeaderStillCompiles) {
  // Whether GCC fails on the damaged file (then velder falls back) or
  // reads the real header in its place: what it does with a scribbled
  // body depends on its version (GCC 12 fails, GCC 14 can pass over the
  // bytes), and either way the program must compile right.
  enum Falls { yes, no, either };
  struct Case {
    const char* what;
    long long at;  // where bytes are changed; -1: the file is cut to half
    Falls falls_back;
  };
  long long size = static_cast<long long>(fs::file_size(cache_->dir / "good.gch"));
  for (const Case& c : {Case{"truncated", -1, yes}, Case{"scribbled head", 0, no},
                        Case{"scribbled body", size / 20, either}}) {
    std::string gch = entry_ + "/bits/stdc++.h.gch";
    fs::copy_file(cache_->dir / "good.gch", gch, fs::copy_options::overwrite_existing);
    fs::remove(entry_ + "/dropped");
    if (c.at < 0) {
      fs::resize_file(gch, static_cast<std::uintmax_t>(size / 2));
    } else {
      std::fstream f(gch, std::ios::in | std::ios::out | std::ios::binary);
      f.seekp(c.at);
      for (int i = 0; i < 4096; ++i) f.put(static_cast<char>((i * 7919 + 13) % 256));
    }
    std::string output, exe;
    Pch_Compile r = Compile("#include <bits/stdc++.h>\nint main() { return std::max(2, 5); }\n", output, exe);
    EXPECT_EQ(r.status, 0) << c.what << "\n" << output;
    if (c.falls_back != either) {
      EXPECT_EQ(r.fell_back, c.falls_back == yes) << c.what << "\n" << output;
    }
    EXPECT_EQ(Run(exe), 5) << c.what;
    if (r.fell_back) {
      EXPECT_NE(output.find(PCH_FALLBACK), std::string::npos) << c.what;
      EXPECT_FALSE(fs::exists(gch)) << c.what;
    }
  }
  // Back as it was, for the other tests.
  fs::copy_file(cache_->dir / "good.gch", entry_ + "/bits/stdc++.h.gch", fs::copy_options::overwrite_existing);
  fs::remove(entry_ + "/dropped");
  fs::remove(entry_ + "/bad");
}

}  // namespace
