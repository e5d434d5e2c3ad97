int main() { int a = 1; if (a) a++; a--; else a = 0; return a; }
