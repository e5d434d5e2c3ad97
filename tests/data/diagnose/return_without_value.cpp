int f() { return; }
int main() { return f(); }
