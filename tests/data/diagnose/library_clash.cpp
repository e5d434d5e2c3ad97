#include <cmath>
int y1;
int main() { return y1; }
