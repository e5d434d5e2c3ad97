#include <cstdio>
int main() {
    int big = 10000000000;
    printf("%d\n", big);
}
