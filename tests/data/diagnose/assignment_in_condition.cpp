// g++ options: -Wall
int main() {
    int n = 0;
    if (n = 5) return 1;
    return 0;
}
