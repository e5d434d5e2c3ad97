// The yardstick for start-up and memory: the least a console program
// does, reading one line and writing it back with iostreams.
#include <iostream>
#include <string>

int main() {
  std::string s;
  std::getline(std::cin, s);
  std::cout << s << '\n';
  return 0;
}
