int mian() { return 0; }
