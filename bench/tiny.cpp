// The small program that the launch benchmark starts.
#include <cstdio>

int main() {
  std::puts("Hello, world!");
  return 0;
}
