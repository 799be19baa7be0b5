// Test host program; scenarios are added with the features they exercise.
int main() { return 0; }
