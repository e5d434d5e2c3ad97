// g++ options: -Wall
#include <cstdio>
int main() {
    long long n = 1;
    printf("%d\n", n);
}
