const int N = 10;
int main() { N = 5; return N; }
