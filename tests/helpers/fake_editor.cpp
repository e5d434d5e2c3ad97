// Stands in for a text editor. Appends its arguments, argv[0] included,
// one a line, to the file FAKE_EDITOR_LOG names; writes FAKE_EDITOR_TEXT,
// when set, into the file named by its last argument, as a user saving
// a program would; says on standard output that it ran.
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>

int main(int argc, char** argv) {
  if (const char* log = std::getenv("FAKE_EDITOR_LOG")) {
    std::ofstream f(log, std::ios::binary | std::ios::app);
    for (int i = 0; i < argc; ++i) f << argv[i] << '\n';
  }
  const char* text = std::getenv("FAKE_EDITOR_TEXT");
  if (text && argc > 1) {
    std::ofstream f(argv[argc - 1], std::ios::binary | std::ios::trunc);
    f << text;
  }
  std::cout << "[fake_editor]\n";
  return 0;
}
