#include <iostream>
#include <vector>
int main() {
    vector<int> v;
    sort(v.begin(), v.end());
}
