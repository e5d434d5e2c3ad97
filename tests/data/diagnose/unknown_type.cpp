struct Point { int x, y; };
Pointt q;
int main() { return 0; }
