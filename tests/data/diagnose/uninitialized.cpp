// g++ options: -Wall
#include <cstdio>
int main() {
    int sum;
    sum = sum + 1;
    printf("%d\n", sum);
}
