#include <string>
int main() { std::string s; return s.lenght(); }
