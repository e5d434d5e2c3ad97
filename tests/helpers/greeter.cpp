// The program that the tests build and start. Prints one line with its
// arguments, appends its working directory and arguments to greeter.log
// there, then: GREETER_SLEEP seconds of sleep, GREETER_ABORT set: abort;
// otherwise exit with GREETER_STATUS (default 0).
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>

int main(int argc, char** argv) {
  std::string line = "你好，来自 greeter";
  for (int i = 1; i < argc; ++i) line += " [" + std::string(argv[i]) + "]";
  std::cout << line << std::endl;
  std::error_code ec;
  std::string cwd = std::filesystem::current_path(ec).string();
  std::ofstream log("greeter.log", std::ios::app);
  log << "cwd=" << cwd << '\n';
  for (int i = 0; i < argc; ++i) log << "[" << argv[i] << "]";
  log << std::endl;
  if (const char* s = std::getenv("GREETER_SLEEP"))
    std::this_thread::sleep_for(std::chrono::duration<double>(std::atof(s)));
  if (std::getenv("GREETER_ABORT")) std::abort();
  const char* st = std::getenv("GREETER_STATUS");
  return st ? std::atoi(st) : 0;
}
