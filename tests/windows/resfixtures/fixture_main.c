/* The program part of the resource fixtures: they only need to be valid executables. */
int main(void) { return 0; }
