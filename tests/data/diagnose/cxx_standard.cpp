// g++ options: -std=c++98
#include <vector>
int main() { std::vector<int> v; int s = 0; for (int x : v) s += x; return s; }
