int main() { int max = 3; return max(1, 2); }
