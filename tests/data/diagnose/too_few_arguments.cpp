int f(int a, int b) { return a + b; }
int main() { return f(1); }
