// Placeholder stub: replaced by the real extractor.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return 38; }
