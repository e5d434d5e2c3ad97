#include <algorithm>
#include <vector>
struct P { int x; };
int main() { std::vector<P> v; std::sort(v.begin(), v.end()); }
