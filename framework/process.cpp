#include "framework/process.h"

#include <exdisp.h>
#include <oleauto.h>
#include <shldisp.h>
#include <shlobj.h>

#include <atomic>
#include <vector>

#include "framework/com.h"

namespace lark::process {

namespace {

// Read from the update hand-off thread as well.
std::atomic<Starter*> g_starter{nullptr};

// ---- tokens ------------------------------------------------------------------------------------

std::vector<BYTE> TokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS kind) {
    DWORD size = 0;
    ::GetTokenInformation(token, kind, nullptr, 0, &size);
    if (size == 0) return {};
    std::vector<BYTE> data(size);
    if (!::GetTokenInformation(token, kind, data.data(), size, &size)) return {};
    return data;
}

bool WellKnownSid(WELL_KNOWN_SID_TYPE type, BYTE (&sid)[SECURITY_MAX_SID_SIZE]) {
    DWORD size = sizeof(sid);
    return ::CreateWellKnownSid(type, nullptr, sid, &size) != FALSE;
}

// The token of a plain user: not elevated, no enabled administrators group, at most medium
// integrity. Anything that cannot be read counts against it.
bool IsPlainUserToken(HANDLE token) {
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    if (!::GetTokenInformation(token, TokenElevation, &elevation, sizeof(elevation), &size) ||
        elevation.TokenIsElevated) {
        return false;
    }
    const std::vector<BYTE> label = TokenInformation(token, TokenIntegrityLevel);
    if (label.empty()) return false;
    const PSID integrity = reinterpret_cast<const TOKEN_MANDATORY_LABEL*>(label.data())->Label.Sid;
    const UCHAR count = *::GetSidSubAuthorityCount(integrity);
    if (count == 0 || *::GetSidSubAuthority(integrity, count - 1) > SECURITY_MANDATORY_MEDIUM_RID) return false;

    BYTE administrators[SECURITY_MAX_SID_SIZE];
    const std::vector<BYTE> groups = TokenInformation(token, TokenGroups);
    if (groups.empty() || !WellKnownSid(WinBuiltinAdministratorsSid, administrators)) return false;
    const auto* list = reinterpret_cast<const TOKEN_GROUPS*>(groups.data());
    for (DWORD i = 0; i < list->GroupCount; ++i) {
        const DWORD attributes = list->Groups[i].Attributes;
        if (::EqualSid(list->Groups[i].Sid, administrators) && (attributes & SE_GROUP_ENABLED) &&
            !(attributes & SE_GROUP_USE_FOR_DENY_ONLY)) {
            return false;
        }
    }
    return true;
}

// The process of the desktop's shell when it runs as a plain user: a program started with it as
// the parent gets its token. Empty when there is no shell window or it runs elevated.
UniqueHandle PlainUserShellProcess() {
    HWND shell = ::GetShellWindow();
    DWORD id = 0;
    if (shell == nullptr || ::GetWindowThreadProcessId(shell, &id) == 0 || id == 0) return {};
    UniqueHandle process(::OpenProcess(PROCESS_CREATE_PROCESS | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id));
    UniqueHandle token;
    if (!process || !::OpenProcessToken(process.get(), TOKEN_QUERY, token.put()) || !IsPlainUserToken(token.get())) {
        return {};
    }
    return process;
}

// Our own token with the administrators group for deny only, every privilege but change-notify
// removed, medium integrity, and a default DACL that lets the program reach its own objects.
// Empty when any part of that cannot be had.
UniqueHandle RestrictedToken() {
    UniqueHandle own;
    if (!::OpenProcessToken(::GetCurrentProcess(),
                            TOKEN_DUPLICATE | TOKEN_ASSIGN_PRIMARY | TOKEN_QUERY | TOKEN_ADJUST_DEFAULT, own.put())) {
        return {};
    }
    BYTE administrators[SECURITY_MAX_SID_SIZE], medium[SECURITY_MAX_SID_SIZE], system[SECURITY_MAX_SID_SIZE];
    if (!WellKnownSid(WinBuiltinAdministratorsSid, administrators) || !WellKnownSid(WinMediumLabelSid, medium) ||
        !WellKnownSid(WinLocalSystemSid, system)) {
        return {};
    }
    SID_AND_ATTRIBUTES denyOnly{administrators, 0};
    UniqueHandle restricted;
    if (!::CreateRestrictedToken(own.get(), DISABLE_MAX_PRIVILEGE, 1, &denyOnly, 0, nullptr, 0, nullptr,
                                 restricted.put())) {
        return {};
    }

    TOKEN_MANDATORY_LABEL label{{medium, SE_GROUP_INTEGRITY}};
    if (!::SetTokenInformation(restricted.get(), TokenIntegrityLevel, &label,
                               sizeof(label) + ::GetLengthSid(medium))) {
        return {};
    }

    const std::vector<BYTE> user = TokenInformation(restricted.get(), TokenUser);
    if (user.empty()) return {};
    const PSID userSid = reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid;
    alignas(DWORD) BYTE aclBuffer[sizeof(ACL) + 2 * (sizeof(ACCESS_ALLOWED_ACE) + SECURITY_MAX_SID_SIZE)];
    auto* acl = reinterpret_cast<ACL*>(aclBuffer);
    TOKEN_DEFAULT_DACL dacl{acl};
    if (!::InitializeAcl(acl, sizeof(aclBuffer), ACL_REVISION) ||
        !::AddAccessAllowedAce(acl, ACL_REVISION, GENERIC_ALL, userSid) ||
        !::AddAccessAllowedAce(acl, ACL_REVISION, GENERIC_ALL, system) ||
        !::SetTokenInformation(restricted.get(), TokenDefaultDacl, &dacl, sizeof(dacl))) {
        return {};
    }
    return restricted;
}

// ---- starting ----------------------------------------------------------------------------------

// One CreateProcess: as us, with a token (CreateProcessAsUserW), or with a parent process whose
// token the program gets.
bool Create(const StartRequest& request, HANDLE token, HANDLE parent, UniqueHandle& process) {
    // CreateProcessW may write into the command line: give it a copy of its own.
    std::vector<wchar_t> commandLine(request.commandLine.begin(), request.commandLine.end());
    commandLine.push_back(L'\0');
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof(startup.StartupInfo);
    if (request.showCommand >= 0) {
        startup.StartupInfo.dwFlags = STARTF_USESHOWWINDOW;
        startup.StartupInfo.wShowWindow = static_cast<WORD>(request.showCommand);
    }
    DWORD flags = 0;
    std::vector<BYTE> attributes;
    if (parent) {
        SIZE_T size = 0;
        ::InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        attributes.resize(size);
        startup.lpAttributeList = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributes.data());
        if (size == 0 || !::InitializeProcThreadAttributeList(startup.lpAttributeList, 1, 0, &size)) return false;
        if (!::UpdateProcThreadAttribute(startup.lpAttributeList, 0, PROC_THREAD_ATTRIBUTE_PARENT_PROCESS, &parent,
                                         sizeof(parent), nullptr, nullptr)) {
            ::DeleteProcThreadAttributeList(startup.lpAttributeList);
            return false;
        }
        startup.StartupInfo.cb = sizeof(startup);
        flags |= EXTENDED_STARTUPINFO_PRESENT;
    }
    const wchar_t* application = request.application.empty() ? nullptr : request.application.c_str();
    const wchar_t* directory = request.directory.empty() ? nullptr : request.directory.c_str();
    PROCESS_INFORMATION info{};
    const BOOL created =
        token ? ::CreateProcessAsUserW(token, application, commandLine.data(), nullptr, nullptr, FALSE, flags, nullptr,
                                       directory, &startup.StartupInfo, &info)
              : ::CreateProcessW(application, commandLine.data(), nullptr, nullptr, FALSE, flags, nullptr, directory,
                                 &startup.StartupInfo, &info);
    const DWORD error = ::GetLastError();
    if (parent) ::DeleteProcThreadAttributeList(startup.lpAttributeList);
    if (!created) {
        ::SetLastError(error);
        return false;
    }
    UniqueHandle thread(info.hThread);
    process.reset(info.hProcess);
    return true;
}

// ---- the desktop's shell -----------------------------------------------------------------------

struct BstrTraits {
    using type = BSTR;
    static type invalid() noexcept { return nullptr; }
    static void close(type value) noexcept { ::SysFreeString(value); }
};
using UniqueBstr = UniqueHandleT<BstrTraits>;

// A VARIANT holding a copy of the text (VT_BSTR), cleared on every path.
class TextVariant {
public:
    explicit TextVariant(const std::wstring& text) {
        ::VariantInit(&value_);
        value_.vt = VT_BSTR;
        value_.bstrVal = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    }
    TextVariant(const TextVariant&) = delete;
    TextVariant& operator=(const TextVariant&) = delete;
    ~TextVariant() { ::VariantClear(&value_); }
    bool ok() const { return value_.bstrVal != nullptr; }
    const VARIANT& get() const { return value_; }

private:
    VARIANT value_;
};

// Shell.Application of the running desktop, reached through its shell windows and the desktop's
// own view: calls on it run in the desktop's process, as its user. Empty when no desktop answers.
UniqueComPtr<IShellDispatch2> DesktopShell() {
    UniqueComPtr<IShellWindows> windows;
    // A local server only: the desktop's registered object, never code loaded into us.
    if (FAILED(::CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows,
                                  windows.put_void()))) {
        return {};
    }
    VARIANT desktopLocation, noRoot;
    ::VariantInit(&desktopLocation);
    ::VariantInit(&noRoot);
    desktopLocation.vt = VT_I4;
    desktopLocation.lVal = CSIDL_DESKTOP;
    long window = 0;
    UniqueComPtr<IDispatch> desktop;
    if (windows->FindWindowSW(&desktopLocation, &noRoot, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH, desktop.put()) !=
            S_OK ||
        !desktop) {
        return {};
    }
    UniqueComPtr<IServiceProvider> services;
    UniqueComPtr<IShellBrowser> browser;
    UniqueComPtr<IShellView> view;
    UniqueComPtr<IDispatch> background;
    UniqueComPtr<IShellFolderViewDual> folderView;
    UniqueComPtr<IDispatch> application;
    UniqueComPtr<IShellDispatch2> shell;
    if (FAILED(desktop->QueryInterface(IID_IServiceProvider, services.put_void())) ||
        FAILED(services->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, browser.put_void())) ||
        FAILED(browser->QueryActiveShellView(view.put())) || !view ||
        FAILED(view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, background.put_void())) || !background ||
        FAILED(background->QueryInterface(IID_IShellFolderViewDual, folderView.put_void())) ||
        FAILED(folderView->get_Application(application.put())) || !application ||
        FAILED(application->QueryInterface(IID_IShellDispatch2, shell.put_void()))) {
        return {};
    }
    return shell;
}

}  // namespace

Starter* SetStarter(Starter* starter) {
    return g_starter.exchange(starter);
}

bool RealStart(const StartRequest& request, UniqueHandle& process) {
    if (request.rights == Rights::Caller) return Create(request, nullptr, nullptr, process);
    // The desktop user's own token, through the shell as parent; else ours, restricted.
    if (UniqueHandle shell = PlainUserShellProcess()) {
        if (Create(request, nullptr, shell.get(), process)) return true;
    }
    UniqueHandle token = RestrictedToken();
    if (!token) {
        if (::GetLastError() == ERROR_SUCCESS) ::SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    return Create(request, token.get(), nullptr, process);
}

bool RealShell(const ShellRequest& request) {
    ComApartment com;
    UniqueComPtr<IShellDispatch2> shell = DesktopShell();
    if (!shell) return false;
    UniqueBstr file(::SysAllocStringLen(request.file.data(), static_cast<UINT>(request.file.size())));
    TextVariant parameters(request.parameters), directory(request.directory), verb(request.verb);
    if (!file || !parameters.ok() || !directory.ok() || !verb.ok()) return false;
    VARIANT show;
    ::VariantInit(&show);
    show.vt = VT_I4;
    show.lVal = request.showCommand;
    return SUCCEEDED(shell->ShellExecute(file.get(), parameters.get(), directory.get(), verb.get(), show));
}

bool RealSelect(const std::wstring& path) {
    ComApartment com;
    UniqueCoTaskMem<PIDLIST_ABSOLUTE> item;
    if (FAILED(::SHParseDisplayName(path.c_str(), nullptr, item.put(), 0, nullptr)) || !item) return false;
    return SUCCEEDED(::SHOpenFolderAndSelectItems(item.get(), 0, nullptr, 0));
}

bool Start(const StartRequest& request, UniqueHandle& process) {
    Starter* starter = g_starter.load();
    return starter ? starter->Start(request, process) : RealStart(request, process);
}

bool Shell(const ShellRequest& request) {
    Starter* starter = g_starter.load();
    return starter ? starter->Shell(request) : RealShell(request);
}

bool Select(const std::wstring& path) {
    Starter* starter = g_starter.load();
    return starter ? starter->Select(path) : RealSelect(path);
}

std::wstring WindowsDirectory() {
    wchar_t path[MAX_PATH] = {};
    const UINT length = ::GetWindowsDirectoryW(path, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(path, length) : std::wstring();
}

std::wstring SystemDirectory() {
    wchar_t path[MAX_PATH] = {};
    const UINT length = ::GetSystemDirectoryW(path, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(path, length) : std::wstring();
}

std::wstring ProgramDirectory() {
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            std::wstring full(path.data(), length);
            const size_t slash = full.find_last_of(L"\\/");
            return slash == std::wstring::npos ? std::wstring() : full.substr(0, slash + 1);
        }
        if (path.size() >= 32768) return {};
        path.resize(path.size() * 2);
    }
}

}  // namespace lark::process
