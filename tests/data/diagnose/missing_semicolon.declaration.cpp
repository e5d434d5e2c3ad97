#include <iostream>
int main() {
    int n
    std::cin >> n;
}
