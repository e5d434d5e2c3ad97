struct P { int x; };
int main() { P a, b; return a < b; }
