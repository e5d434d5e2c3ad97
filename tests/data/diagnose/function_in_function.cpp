int main() {
    int f(int x) {
        return x;
    }
    return 0;
}
