int main() { double a = 5; int r = a % 2; return r; }
