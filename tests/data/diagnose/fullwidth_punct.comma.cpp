int main() {
    int a；
    int b = 1 ， c;
    return 0;
}
