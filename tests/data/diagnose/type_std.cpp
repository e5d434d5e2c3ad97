#include <string>
string s;
int main() { return 0; }
