// Asking a compiler for its version, the same on every system: started
// as every other program is (Run_Process), its answer caught in a file
// of its own under the temporary folder.
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "platform/files.h"
#include "platform/first_setup.h"
#include "platform/process.h"

namespace platform {

namespace {

namespace fs = std::filesystem;

const long long TEXT_LIMIT = 64 * 1024;

// A new folder of our own under the temporary folder, so that the answer
// goes to a file nobody else made; empty when none can be made.
fs::path New_Temp_Folder() {
  std::error_code ec;
  fs::path base = fs::temp_directory_path(ec);
  if (ec) return fs::path();
  std::random_device seed;
  std::mt19937_64 random(seed() ^ static_cast<unsigned long long>(std::random_device()()) << 32);
  for (int i = 0; i < 100; ++i) {
    fs::path d = base / ("velder-version-" + std::to_string(random() % 1000000000000ULL));
    if (fs::create_directory(d, ec)) return d;
  }
  return fs::path();
}

std::string Read_Start(const fs::path& file, long long limit) {
  std::ifstream in(file, std::ios::binary);
  std::string text(static_cast<std::size_t>(limit), '\0');
  in.read(&text[0], limit);
  text.resize(static_cast<std::size_t>(in.gcount()));
  return text;
}

}  // namespace

bool Ask_Version(std::string exe, double seconds, std::string& text) {
  text.clear();
  fs::path folder = New_Temp_Folder();
  if (folder.empty()) return false;
  fs::path answer = folder / "version.txt";
  Process_Spec s;
  s.argv = {exe, "--version"};
  s.input = Null_Device();
  s.output = answer.u8string();
  s.foreground = false;
  s.wall_limit = seconds;
  s.output_limit = TEXT_LIMIT;
  Process_End e = Run_Process(s);
  text = Read_Start(answer, TEXT_LIMIT);
  std::error_code ec;
  fs::remove_all(folder, ec);
  return e.started && !e.signaled && !e.timed_out && !e.output_exceeded && e.code == 0;
}

}  // namespace platform
