int main() {
    int a = 1;
    if (a > 0
        && a < 5 {
        a = 2;
    }
    return a;
}
