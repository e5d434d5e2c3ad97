// g++ options: -fno-such-option
int main() { return 0; }
