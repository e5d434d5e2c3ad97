// Stands in for the compiler. Appends one line to the file named by
// FAKE_COMPILER_LOG: each argument between brackets. Writes the file after
// -o: a copy of the program FAKE_COMPILER_COPY (executable), or a line of
// text when that is unset. Exits with FAKE_COMPILER_STATUS (default 0).
// Prints the bytes of the file FAKE_COMPILER_SAY on standard error, as a
// compiler prints its messages (a saved output of GCC or MinGW), and
// appends to FAKE_COMPILER_ENV_LOG the locale variables it was given.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

// "NAME=value", or "NAME unset".
std::string Variable(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(name) + "=" + v : std::string(name) + " unset";
}

void Say(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::fwrite(bytes.data(), 1, bytes.size(), stderr);
  std::fflush(stderr);
}

}  // namespace

int main(int argc, char** argv) {
  std::string line;
  for (int i = 0; i < argc; ++i) line += "[" + std::string(argv[i]) + "]";
  if (!Env("FAKE_COMPILER_LOG").empty())
    std::ofstream(Env("FAKE_COMPILER_LOG"), std::ios::app) << line << '\n';
  if (!Env("FAKE_COMPILER_ENV_LOG").empty())
    std::ofstream(Env("FAKE_COMPILER_ENV_LOG"), std::ios::app)
        << Variable("LC_ALL") << ' ' << Variable("LANGUAGE") << '\n';
  if (!Env("FAKE_COMPILER_SAY").empty()) Say(Env("FAKE_COMPILER_SAY"));
  int status = std::atoi(Env("FAKE_COMPILER_STATUS").c_str());
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::string(argv[i]) != "-o" || status != 0) continue;
    std::error_code ec;
    if (Env("FAKE_COMPILER_COPY").empty())
      std::ofstream(argv[i + 1]) << "not a program\n";
    else
      std::filesystem::copy_file(Env("FAKE_COMPILER_COPY"), argv[i + 1],
                                 std::filesystem::copy_options::overwrite_existing, ec);
  }
  return status;
}
