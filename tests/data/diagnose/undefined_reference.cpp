int f(int a);
int main() { return f(1); }
