int n = 5;
int a[n];
int main() { return a[0]; }
