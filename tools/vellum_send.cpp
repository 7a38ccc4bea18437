// Placeholder entry replaced by the next-post client.
int main() { return 2; }
