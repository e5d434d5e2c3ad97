// g++ options: -Wall
#include <cstdio>
int main() {
    int n;
    scanf("%d", n);
    printf("%d\n", n);
}
