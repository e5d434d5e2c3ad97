#include <iostream>
using namespace std;
cin >> n;
int main() {}
