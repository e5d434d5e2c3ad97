#include <iostream>
int main() {
    int x = 3;
    std::cout << x
    return 0;
}
