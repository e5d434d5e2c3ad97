int main() { int a = 1, b = 2; if (a + 1 = b) return 1; return 0; }
