#include <cstdio>
int main() {
    printf(“hi”);
}
