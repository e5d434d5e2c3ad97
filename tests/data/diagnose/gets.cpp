#include <cstdio>
int main() { char s[100]; gets(s); return 0; }
