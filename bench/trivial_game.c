/* A game that does nothing, so the launch benchmark measures the launcher. */
int main(void) { return 0; }
