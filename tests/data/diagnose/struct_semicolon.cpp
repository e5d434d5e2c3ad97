struct P {
    int x;
}
int main() { return 0; }
