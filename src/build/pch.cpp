// velder's side of the precompiled header: whether a compile can have
// one, its key and entry, the compiler's environment, the fallback, and
// the start of the helper that builds it.
#include "build/pch.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "platform/files.h"
#include "platform/process.h"
#include "platform/words.h"

namespace fs = std::filesystem;

namespace {

bool Starts_With(const std::string& s, const char* head) {
  return s.compare(0, std::char_traits<char>::length(head), head) == 0;
}

// Options after which the header cannot stand for the one the compile
// would read, or the compile makes no program: the header is not used.
const char* const HEADER_CHANGERS[] = {"-I", "-i", "-nostdinc", "--sysroot", "-x", "@"};
const char* const NOT_A_PROGRAM[] = {"-E", "-S", "-c", "-o"};

// Read only by the linker, with the next word when separate.
const char* const LINKER_WITH_ARG[] = {"-l", "-L", "-Xlinker", "-T", "-u", "-z"};
const char* const LINKER_PREFIXES[] = {"-l", "-L", "-Wl,", "-fuse-ld=", "-static", "-shared",
                                       "-nostdlib", "-nodefaultlibs", "-nostartfiles", "-M",
                                       "-save-temps"};
const char* const LINKER_WORDS[] = {"-s", "-pie", "-no-pie", "-rdynamic", "-mwindows", "-mconsole"};

bool Plain_Text(const std::string& t) {
  for (unsigned char c : t)
    if (c < 0x20 || c == 0x7f) return false;
  // Nothing cmd.exe would act on, so that the words are the same on
  // every system and for the compile as for the helper.
  return platform::Cmd_Changed_At(t) == std::string::npos &&
         t.find_first_of("^&|<>()") == std::string::npos;
}

bool In(const std::string& w, const char* const* list, std::size_t n, bool prefix) {
  for (std::size_t i = 0; i < n; ++i)
    if (prefix ? Starts_With(w, list[i]) : w == list[i]) return true;
  return false;
}

template <std::size_t N>
bool Any(const std::string& w, const char* const (&list)[N], bool prefix) {
  return In(w, list, N, prefix);
}

std::string Read_All(const std::string& path) {
  std::ifstream f(fs::path(path), std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

bool Write_All(const std::string& path, const std::string& text) {
  std::ofstream f(fs::path(path), std::ios::binary | std::ios::trunc);
  f << text;
  f.close();
  return !f.fail();
}

// The first line of what the compiler printed for one question; empty
// when it failed or printed anything else.
std::string Ask(const std::string& com_path, const char* question, const std::string& scratch) {
  platform::Process_Spec s;
  s.argv = {com_path, question};
  s.input = platform::Null_Device();
  s.output = scratch;
  s.error_to_output = true;
  s.foreground = false;
  s.wall_limit = 20;
  s.output_limit = 4096;
  platform::Process_End e = platform::Run_Process(s);
  std::string text = Read_All(scratch);
  platform::Remove_File(scratch);
  if (platform::Exit_Status(e) != 0) return std::string();
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  if (text.empty() || text.size() > 100 || text.find('\n') != std::string::npos) return std::string();
  return text;
}

bool Mentions_Header(const std::string& fpath) {
  std::filesystem::path p;
  if (!platform::Native_Path(fpath, p)) return false;
  std::ifstream f(p, std::ios::binary);
  std::string line;
  while (std::getline(f, line))
    if (line.find("bits/stdc++.h") != std::string::npos) return true;
  return false;
}

bool Exists(const std::string& path) {
  std::error_code ec;
  return fs::exists(fs::path(path), ec);
}

void Touch(const std::string& path) {
  std::error_code ec;
  if (!Exists(path)) Write_All(path, std::string());
  fs::last_write_time(fs::path(path), fs::file_time_type::clock::now(), ec);
}

std::string Scratch_Name(const std::string& folder) {
  auto t = std::chrono::steady_clock::now().time_since_epoch().count();
  return folder + "/id-" + std::to_string(t) + ".tmp";
}

}  // namespace

const char PCH_BUILDING[] = "已在后台预编译 bits/stdc++.h，下次编译会更快。";
const char PCH_FALLBACK[] = "预编译的 bits/stdc++.h 无法使用，已删除；现在不用它重新编译……";

bool Options_Allow_Pch(std::string com_settings) {
  if (!Plain_Text(com_settings)) return false;
  for (const std::string& w : platform::Split_Arguments(com_settings)) {
    if (Any(w, HEADER_CHANGERS, true) || Any(w, NOT_A_PROGRAM, false)) return false;
  }
  return true;
}

std::vector<std::string> Header_Options(std::vector<std::string> words) {
  std::vector<std::string> kept;
  for (std::size_t i = 0; i < words.size(); ++i) {
    const std::string& w = words[i];
    if (Any(w, LINKER_WITH_ARG, false)) {
      ++i;  // and its argument
      continue;
    }
    if (Any(w, LINKER_PREFIXES, true) || Any(w, LINKER_WORDS, false)) continue;
    kept.push_back(w);
  }
  return kept;
}

std::string Pch_Key(std::string com_path, platform::File_Stamp st, Compiler_Id id,
                    std::string com_settings) {
  std::ostringstream k;
  k << "velder pch " << PCH_FORMAT << '\n'
    << com_path << '\n'
    << st.size << '\n'
    << st.mtime << '\n'
    << id.version << '\n'
    << id.target << '\n'
    << com_settings << '\n';
  return k.str();
}

std::string Pch_Entry_Name(std::string key) {
  // FNV-1a: the entry's own key file decides; the name only spreads them.
  std::uint64_t h = 14695981039346656037ULL;
  for (unsigned char c : key) {
    h ^= c;
    h *= 1099511628211ULL;
  }
  char name[17];
  std::snprintf(name, sizeof name, "%016llx", static_cast<unsigned long long>(h));
  return name;
}

std::string Pch_Folder() {
  std::string home = platform::Cache_Home();
  if (home.empty()) return std::string();
  return home + platform::Separator() + "velder" + platform::Separator() + "pch";
}

bool Pch_Switched_Off() {
  std::string v = platform::Get_Env("VELDER_NO_PCH");
  return !v.empty() && v != "0";
}

Compiler_Id Identify_Compiler(std::string com_path, platform::File_Stamp st, std::string scratch) {
  static std::map<std::string, std::pair<platform::File_Stamp, Compiler_Id>> known;
  auto it = known.find(com_path);
  if (it != known.end() && it->second.first.size == st.size && it->second.first.mtime == st.mtime)
    return it->second.second;
  Compiler_Id id;
  id.version = Ask(com_path, "-dumpfullversion", scratch);
  id.target = id.version.empty() ? std::string() : Ask(com_path, "-dumpmachine", scratch);
  id.gcc = !id.version.empty() && !id.target.empty() && id.version[0] >= '0' && id.version[0] <= '9';
  known[com_path] = {st, id};
  return id;
}

Pch_Plan Plan_Pch(std::string com_path, std::string com_settings, std::string fpath) {
  Pch_Plan plan;
  std::string folder = Pch_Folder();
  fs::path compiler;
  if (Pch_Switched_Off() || folder.empty() || !Options_Allow_Pch(com_settings) ||
      !platform::Native_Path(com_path, compiler) || !compiler.is_absolute() ||
      com_path.find('\n') != std::string::npos || !Mentions_Header(fpath))
    return plan;
  platform::File_Stamp st = platform::Stamp_Of(com_path);
  std::error_code ec;
  if (!st.ok || (fs::create_directories(fs::path(folder), ec), ec)) return plan;
  Compiler_Id id = Identify_Compiler(com_path, st, Scratch_Name(folder));
  if (!id.gcc) return plan;
  plan.key = Pch_Key(com_path, st, id, com_settings);
  plan.entry = folder + "/" + Pch_Entry_Name(plan.key);
  bool ours = Read_All(plan.entry + "/key") == plan.key;
  if (ours && Exists(plan.entry + "/bad"))
    plan.state = Pch_Plan::unusable;
  else if (ours && Exists(plan.entry + "/bits/stdc++.h.gch") && Exists(plan.entry + "/bits/stdc++.h"))
    plan.state = Pch_Plan::ready;
  else
    plan.state = Pch_Plan::absent;
  // No lock file, no build: none is made just to ask.
  if (plan.state == Pch_Plan::absent && Exists(plan.entry + ".lock")) {
    long long lock = platform::Try_Lock(plan.entry + ".lock");
    if (lock == 0) plan.state = Pch_Plan::building;
    platform::Unlock(lock);
  }
  if (plan.state == Pch_Plan::ready) Touch(plan.entry + "/used");
  return plan;
}

std::vector<platform::Env_Change> Pch_Env(const Pch_Plan& plan) {
  if (plan.state != Pch_Plan::ready) return {};
  std::string user = platform::Get_Env("CPLUS_INCLUDE_PATH");
  // An empty element would mean the working folder: none is added.
  std::string value = plan.entry + (user.empty() ? "" : platform::Path_List_Separator() + user);
  return {platform::Env_Change{"CPLUS_INCLUDE_PATH", value, false}};
}

bool Pch_Fault_In(const std::string& output, const std::string& entry) {
  for (const char* sign : {".gch", "PCH", "precompiled", "internal compiler error"})
    if (output.find(sign) != std::string::npos) return true;
  // A message about the entry's own files (one gone while compiling).
  // An error in the library merely included by way of the entry names it
  // too, after "In file included from": that is the program's error.
  std::istringstream lines(output);
  std::string line;
  while (!entry.empty() && std::getline(lines, line))
    if (line.compare(line.find_first_not_of(' ') == std::string::npos ? 0 : line.find_first_not_of(' '),
                     entry.size(), entry) == 0)
      return true;
  return false;
}

void Drop_Pch(const Pch_Plan& plan) {
  if (plan.entry.empty()) return;
  std::error_code ec;
  fs::remove(fs::path(plan.entry + "/bits/stdc++.h.gch"), ec);
  if (Exists(plan.entry + "/dropped"))
    Write_All(plan.entry + "/bad", "failed twice in a compile\n");
  else
    Write_All(plan.entry + "/dropped", std::string());
}

bool Start_Pch_Build(const Pch_Plan& plan, std::string helper) {
  if (plan.state != Pch_Plan::absent) return false;
  if (helper.empty()) {
    std::string own = platform::Own_Folder();
    if (own.empty()) return false;
    helper = own + platform::Separator() + "velder-pch" + platform::Executable_Suffix();
  }
  if (!platform::Stamp_Of(helper).ok) return false;
  std::error_code ec;
  // What another key (or a damaged key file) left here is not ours.
  if (Read_All(plan.entry + "/key") != plan.key)
    for (const char* old : {"/bad", "/dropped", "/bits"}) fs::remove_all(fs::path(plan.entry + old), ec);
  fs::create_directories(fs::path(plan.entry), ec);
  if (ec || !Write_All(plan.entry + "/key", plan.key)) return false;
  platform::Process_Spec s;
  s.argv = {helper, plan.entry};
  s.input = platform::Null_Device();
  s.output = platform::Null_Device();
  s.error_to_output = true;
  s.foreground = false;
  s.low_priority = true;
  s.detached = true;
  return platform::Start_Process(s).started;
}

Pch_Compile Compile_With_Pch(platform::Compile_Request r, const Pch_Plan& plan,
                             const std::function<int(platform::Compile_Request)>& compile,
                             const std::function<void(const char*)>& say) {
  Pch_Compile c;
  std::vector<platform::Env_Change> env = Pch_Env(plan);
  if (env.empty()) {
    c.status = compile(r);
    return c;
  }
  platform::Compile_Request with = r;
  with.env.insert(with.env.begin(), env.begin(), env.end());
  // Kept for the fault's signs; a compile that says more than this has
  // said them long before.
  std::string output;
  platform::Output_Sink pass = r.on_output;
  with.on_output = [&output, pass](const std::string& chunk) {
    if (output.size() < (1u << 20)) output += chunk;
    if (pass) {
      pass(chunk);
    } else {
      std::fwrite(chunk.data(), 1, chunk.size(), stdout);
      std::fflush(stdout);
    }
  };
  c.status = compile(with);
  if (c.status == 0 || !Pch_Fault_In(output, plan.entry)) return c;
  Drop_Pch(plan);
  say(PCH_FALLBACK);
  c.fell_back = true;
  c.status = compile(r);
  return c;
}

int Compile_Using_Pch(platform::Compile_Request r, const std::function<void(const char*)>& say) {
  Pch_Plan plan = Plan_Pch(r.com_path, r.com_settings, r.fpath);
  Pch_Compile c = Compile_With_Pch(r, plan, platform::Compile, say);
  if (plan.state == Pch_Plan::absent && Start_Pch_Build(plan)) say(PCH_BUILDING);
  return c.status;
}
