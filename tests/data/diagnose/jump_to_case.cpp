int main() { int k = 1; switch (k) { case 1: int x = 2; return x; case 2: return 0; } return 1; }
