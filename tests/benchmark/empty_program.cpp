// The least a program costs to start: a GUI program that does nothing,
// built like the launcher.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    return 0;
}
