#include <string>
void f(string s) {}
int main() {}
