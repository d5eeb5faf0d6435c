// Runs from a folder that also holds a planted "wintrust.dll".
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "repair/trust_library.h"

namespace {

std::wstring ModulePath(HMODULE module) {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(module, path, MAX_PATH);
    return path;
}

TEST(PlantedTrustLibrary, IsPassedOverForTheSystemOne) {
    wchar_t system[MAX_PATH] = {};
    ::GetSystemDirectoryW(system, MAX_PATH);
    ASSERT_EQ(LoadTrustLibrary(), kTrustOk);
    EXPECT_EQ(::lstrcmpiW(ModulePath(trust_internal::TrustState().module).c_str(),
                          (std::wstring(system) + L"\\wintrust.dll").c_str()), 0);
    ASSERT_EQ(UnloadTrustLibrary(), kTrustOk);
    ASSERT_EQ(::GetModuleHandleW(L"wintrust.dll"), nullptr);

    // The plant is in the way of a load by name alone, which finds it in the program's folder
    // (Wine then maps its own builtin under that path, so only the path shows it).
    HMODULE planted = ::LoadLibraryW(L"wintrust.dll");
    ASSERT_NE(planted, nullptr);
    const std::wstring plantedPath = ModulePath(planted);
    ::FreeLibrary(planted);
    wchar_t program[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, program, MAX_PATH);
    std::wstring folder = program;
    folder.resize(folder.rfind(L'\\'));
    EXPECT_EQ(::lstrcmpiW(plantedPath.c_str(), (folder + L"\\wintrust.dll").c_str()), 0);
}

}  // namespace
