// The helper's side of the precompiled header: the build of an entry,
// its check, its publication, and the bounds of the cache. Everything a
// build writes goes to a file named for its process and reaches the
// entry's final name only by rename, checked: a build killed at any
// moment leaves nothing there, and two builds never write one file.
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "build/pch.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/words.h"

namespace fs = std::filesystem;

namespace {

const char FORWARD[] = "#include_next <bits/stdc++.h>\n";
const char PROBE[] = "#include <bits/stdc++.h>\nint main() {}\n";

// A build that has not ended in this long has gone wrong (measured: a
// damaged build can grow without end); its file is bounded the same way.
const double BUILD_SECONDS = 900;
const long long BUILD_BYTES = 1LL << 30;
const auto STALE = std::chrono::hours(1);

struct Key_Parts {
  bool ok = false;
  std::string compiler, options;
  long long size = 0, mtime = 0;
};

std::string Read_All(const fs::path& path) {
  std::ifstream f(path, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

bool Write_All(const fs::path& path, const std::string& text) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f << text;
  f.close();
  return !f.fail();
}

Key_Parts Parse_Key(const std::string& key) {
  Key_Parts k;
  std::istringstream in(key);
  std::string head, size, mtime, version, target;
  if (!std::getline(in, head) || head != "velder pch " + std::to_string(PCH_FORMAT)) return k;
  if (!std::getline(in, k.compiler) || !std::getline(in, size) || !std::getline(in, mtime) ||
      !std::getline(in, version) || !std::getline(in, target) || !std::getline(in, k.options))
    return k;
  try {
    k.size = std::stoll(size);
    k.mtime = std::stoll(mtime);
  } catch (...) {
    return k;
  }
  k.ok = !k.compiler.empty();
  return k;
}

// The compiler of the key is still the file it was: the entry can serve.
bool Compiler_Unchanged(const Key_Parts& k) {
  platform::File_Stamp st = platform::Stamp_Of(k.compiler);
  return st.ok && st.size == k.size && st.mtime == k.mtime;
}

platform::Process_End Run_Compiler(std::vector<std::string> argv, const std::string& log,
                                   std::vector<platform::Env_Change> env = {}) {
  platform::Process_Spec s;
  s.argv = std::move(argv);
  s.env = std::move(env);
  s.input = platform::Null_Device();
  s.output = log;
  s.error_to_output = true;
  s.foreground = false;
  s.wall_limit = BUILD_SECONDS;
  s.output_limit = BUILD_BYTES;
  return platform::Run_Process(s);
}

std::vector<std::string> Joined(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Compiles a one-line program with the header at probe (a folder laid
// out as an entry), as the compile would: true when it succeeds and -H
// shows the header used ("!").
bool Header_Works(const Key_Parts& k, const std::string& probe) {
  Pch_Plan as_used;
  as_used.state = Pch_Plan::ready;
  as_used.entry = probe;
  std::vector<std::string> words = platform::Split_Arguments(k.options);
  std::string log = probe + "/probe.log";
  platform::Process_End e = Run_Compiler(
      Joined(Joined({k.compiler}, words), {"-g", "-H", "-o", probe + "/probe.exe", probe + "/probe.cpp"}),
      log, Pch_Env(as_used));
  if (platform::Exit_Status(e) != 0) return false;
  std::istringstream lines(Read_All(log));
  std::string line;
  while (std::getline(lines, line))
    if (line.rfind("! ", 0) == 0 && line.find("stdc++.h.gch") != std::string::npos) return true;
  return false;
}

// Builds the header into probe/bits/stdc++.h.gch by way of a temporary
// file; the compiler's messages go to log.
bool Build_Header(const Key_Parts& k, const std::string& probe, const std::string& log) {
  std::vector<std::string> words = platform::Split_Arguments(k.options);
  std::string source = probe + "/source.h", temp = probe + "/stdc++.h.gch.tmp";
  std::error_code ec;
  fs::create_directories(fs::path(probe + "/bits"), ec);
  if (ec || !Write_All(source, "#include <bits/stdc++.h>\n") ||
      !Write_All(probe + "/bits/stdc++.h", FORWARD) || !Write_All(probe + "/probe.cpp", PROBE))
    return false;
  platform::Process_End e = Run_Compiler(
      Joined(Joined({k.compiler}, Header_Options(words)), {"-g", "-x", "c++-header", source, "-o", temp}),
      log);
  if (platform::Exit_Status(e) != 0) return false;
  fs::rename(fs::path(temp), fs::path(probe + "/bits/stdc++.h.gch"), ec);
  return !ec;
}

// Publishes the checked header: the one-line forward first, the .gch
// last, each by rename, so that the entry is ready only once complete.
bool Publish(const std::string& entry, const std::string& probe) {
  std::error_code ec;
  fs::create_directories(fs::path(entry + "/bits"), ec);
  if (ec) return false;
  fs::rename(fs::path(probe + "/bits/stdc++.h"), fs::path(entry + "/bits/stdc++.h"), ec);
  if (ec) return false;
  fs::rename(fs::path(probe + "/bits/stdc++.h.gch"), fs::path(entry + "/bits/stdc++.h.gch"), ec);
  if (ec) return false;
  Write_All(entry + "/used", std::string());
  return true;
}

std::string Probe_Name(const std::string& entry) {
  auto t = std::chrono::steady_clock::now().time_since_epoch().count();
  return entry + "/build-" + std::to_string(t) + ".tmp";
}

bool Is_Temporary(const fs::path& p) {
  std::string name = p.filename().string();
  return name.size() > 4 && name.compare(name.size() - 4, 4, ".tmp") == 0;
}

// Temporary files and folders of builds that no longer run (the entry's
// lock is held by the caller).
void Remove_Temporaries(const std::string& entry) {
  std::error_code ec;
  for (fs::directory_iterator it(fs::path(entry), ec), end; !ec && it != end; it.increment(ec))
    if (Is_Temporary(it->path())) fs::remove_all(it->path(), ec);
}

long long Bytes_Of(const fs::path& dir) {
  long long n = 0;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
    if (it->is_regular_file(ec)) n += static_cast<long long>(it->file_size(ec));
  return n;
}

fs::file_time_type Last_Use(const fs::path& dir) {
  std::error_code ec;
  fs::file_time_type t = fs::last_write_time(dir / "used", ec);
  if (ec) t = fs::last_write_time(dir / "key", ec);
  return ec ? fs::file_time_type::min() : t;
}

struct Held {
  fs::path dir;
  long long lock = 0;
  bool header = false;
  long long bytes = 0;
  fs::file_time_type used;
};

void Remove_Entry(Held& h) {
  std::error_code ec;
  fs::remove_all(h.dir, ec);
  platform::Unlock(h.lock);
  h.lock = 0;
  fs::remove(fs::path(h.dir.string() + ".lock"), ec);
}

// Keeps the most recently used of one kind within the bounds; removes
// the rest.
void Keep_Recent(std::vector<Held>& kind, std::size_t count, long long bytes) {
  std::sort(kind.begin(), kind.end(), [](const Held& a, const Held& b) { return a.used > b.used; });
  long long total = 0;
  std::size_t kept = 0;
  for (Held& h : kind) {
    if (kept < count && total + h.bytes <= bytes) {
      total += h.bytes;
      ++kept;
    } else {
      Remove_Entry(h);
    }
  }
}

bool Is_Entry_Name(const std::string& name) {
  return name.size() == 16 && name.find_first_not_of("0123456789abcdef") == std::string::npos;
}

}  // namespace

int Build_Pch(std::string entry) {
  long long lock = platform::Try_Lock(entry + ".lock");
  if (lock == 0) return 0;  // another build has it
  Remove_Temporaries(entry);
  Key_Parts k = Parse_Key(Read_All(entry + "/key"));
  std::error_code ec;
  bool done = fs::exists(fs::path(entry + "/bad"), ec) || fs::exists(fs::path(entry + "/bits/stdc++.h.gch"), ec);
  int status = 0;
  if (!k.ok || !Compiler_Unchanged(k)) {
    status = 2;
  } else if (!done) {
    std::string probe = Probe_Name(entry), log = probe + ".log";
    bool ok = Build_Header(k, probe, log) && Header_Works(k, probe) && Publish(entry, probe);
    if (!ok) {
      std::string why = Read_All(log) + Read_All(probe + "/probe.log");
      Write_All(entry + "/bad", why.substr(0, 65536));
      status = 1;
    }
    fs::remove_all(fs::path(probe), ec);
    fs::remove(fs::path(log), ec);
  }
  platform::Unlock(lock);
  Trim_Pch(fs::path(entry).parent_path().string());
  return status;
}

void Trim_Pch(std::string folder) {
  std::vector<Held> headers, markers;
  std::error_code ec;
  auto now = fs::file_time_type::clock::now();
  for (fs::directory_iterator it(fs::path(folder), ec), end; !ec && it != end; it.increment(ec)) {
    fs::path p = it->path();
    std::error_code e2;
    // What a killed velder left while asking its compiler.
    if (Is_Temporary(p) && now - fs::last_write_time(p, e2) > STALE && !e2) fs::remove(p, e2);
    if (!Is_Entry_Name(p.filename().string()) || !it->is_directory(e2)) continue;
    Held h;
    h.dir = p;
    h.lock = platform::Try_Lock(p.string() + ".lock");
    if (h.lock == 0) continue;  // being built or checked now
    Remove_Temporaries(p.string());
    Key_Parts k = Parse_Key(Read_All(p / "key"));
    if (!k.ok || !Compiler_Unchanged(k)) {
      Remove_Entry(h);
      continue;
    }
    h.header = fs::exists(p / "bits" / "stdc++.h.gch", e2);
    h.bytes = Bytes_Of(p);
    h.used = Last_Use(p);
    (h.header ? headers : markers).push_back(h);
  }
  Keep_Recent(headers, PCH_MAX_ENTRIES, PCH_MAX_BYTES);
  Keep_Recent(markers, PCH_MAX_MARKERS, PCH_MAX_BYTES);
  for (auto* kind : {&headers, &markers})
    for (Held& h : *kind) platform::Unlock(h.lock);
}
