// Application object of our framework.
#pragma once

#include <windows.h>

#include <string>

#include "framework/wnd.h"

namespace lark {

class CWinApp {
public:
    CWinApp();
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // Returns FALSE to end the program without a message loop.
    virtual BOOL InitInstance();
    virtual int ExitInstance() { return 0; }

    // Runs the application: InitInstance, then (only when it returned TRUE) a message loop.
    int Run();

    void EnableControlContainer() {}
    // The registry key name under which a framework application would keep its profile.
    // Nothing of ours is stored there.
    void SetRegistryKey(const wchar_t* company) { m_registryKey = company; }
    const std::wstring& RegistryKey() const { return m_registryKey; }

    CWnd* m_pMainWnd = nullptr;

private:
    std::wstring m_registryKey;
};

}  // namespace lark
