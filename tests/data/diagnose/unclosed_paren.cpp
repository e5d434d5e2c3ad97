int main() {
    int a = 1;
    if ((a > 0) {
    }
    return 0;
}
