/* The program part of the resource fixtures. Its exit code lets a run-mode
   test see that an SFX file really ran the fixture it packs. */
int main(void) { return 42; }
