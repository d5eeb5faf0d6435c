#include <windows.h>

#include "app/larkspur_app.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // Elevated: never load a DLL from the program's or the current folder by accident.
    ::SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    CLarkspurApp app;
    return app.Run();
}
