#include <iostraem>
int main() { return 0; }
