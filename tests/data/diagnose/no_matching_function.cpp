#include <string>
int f(int a) { return a; }
int g(int a, int b) { return a+b; }
int g(double a, double b) { return a+b; }
int main() { std::string s; return g(s, 1); }
