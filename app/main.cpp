#include <windows.h>

#include "app/larkspur_app.h"
#include "framework/system_library.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // Elevated: never load a DLL from the program's or the current folder by accident.
    lark::RestrictDllSearchToSystemFolder();
    CLarkspurApp app;
    return app.Run();
}
