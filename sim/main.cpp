// Entry point of the simulated machine (placeholder until the tools are in).
int main() { return 0; }
