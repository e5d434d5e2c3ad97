int n;
for (int i = 0; i < 3; i++) n++;
int main() { return 0; }
