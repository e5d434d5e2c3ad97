#include <bits/stdc++.h>
using namespace std;
int count = 0;
int main() { count++; return count; }
