int main() { break; return 0; }
