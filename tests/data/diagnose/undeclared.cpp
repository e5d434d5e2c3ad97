int main() {
    int sum = 0;
    summ = 3;
    return sum;
}
