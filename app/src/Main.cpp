#include <windows.h>

// The desktop application is not built yet: the program starts and ends.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return 0; }
