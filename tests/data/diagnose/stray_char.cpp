#include <cstdio>
int main() {
    int a = 6 × 7;
    printf("%d", a);
}
