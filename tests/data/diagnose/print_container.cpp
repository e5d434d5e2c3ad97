#include <iostream>
#include <vector>
int main() { std::vector<int> v(3); std::cout << v; }
