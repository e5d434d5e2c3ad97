// g++ options: -Wall
int sign(int x) {
    if (x > 0) return 1;
    if (x < 0) return -1;
}
int main() { return sign(3); }
