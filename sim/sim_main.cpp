// orlogix-sim: simulated instruments on a pseudo-terminal.
int main() { return 0; }
