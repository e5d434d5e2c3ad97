int f(int a) { return a; }
int main() { return f(1, 2); }
