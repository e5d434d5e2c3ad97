// g++ options: -O2
#include <cstdio>
int a[10];
int main() {
    for (int i = 0; i <= 10; i++) a[i] = i;
    printf("%d\n", a[3]);
}
