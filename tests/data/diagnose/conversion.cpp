#include <string>
int main() { std::string s = "1"; int n = s; return n; }
