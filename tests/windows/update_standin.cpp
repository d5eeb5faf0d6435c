// Stands in for the updater in hand-off tests: appends its command line to the file named by
// HANDOFF_LOG and what its token holds to the file named by HANDOFF_TOKEN_LOG, optionally asks a
// question (message box captioned HANDOFF_ASK) and waits for the answer, then exits with the code
// in HANDOFF_EXIT (default 0).
#include <windows.h>

#include <cwchar>
#include <string>

namespace {

std::wstring Variable(const wchar_t* name) {
    wchar_t value[1024] = {};
    const DWORD length = ::GetEnvironmentVariableW(name, value, 1024);
    return length > 0 && length < 1024 ? std::wstring(value, length) : std::wstring();
}

void Append(const std::wstring& path, const std::wstring& line) {
    if (path.empty()) return;
    HANDLE file = ::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    const std::wstring text = line + L"\n";
    DWORD written = 0;
    ::WriteFile(file, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &written, nullptr);
    ::CloseHandle(file);
}

// "administrators=<enabled|deny-only|absent> member=<0|1> integrity=<rid> privileges=<count>"
std::wstring DescribeToken() {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY | TOKEN_DUPLICATE, &token)) return L"no token";
    BYTE administrators[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof(administrators);
    ::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &size);
    static BYTE buffer[16384];
    std::wstring state = L"absent";
    if (::GetTokenInformation(token, TokenGroups, buffer, sizeof(buffer), &size)) {
        const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(buffer);
        for (DWORD i = 0; i < groups->GroupCount; ++i) {
            if (!::EqualSid(groups->Groups[i].Sid, administrators)) continue;
            state = (groups->Groups[i].Attributes & SE_GROUP_USE_FOR_DENY_ONLY) ? L"deny-only" : L"enabled";
        }
    }
    BOOL member = FALSE;
    HANDLE identification = nullptr;
    if (::DuplicateToken(token, SecurityIdentification, &identification)) {
        ::CheckTokenMembership(identification, administrators, &member);
        ::CloseHandle(identification);
    }
    DWORD integrity = 0;
    if (::GetTokenInformation(token, TokenIntegrityLevel, buffer, sizeof(buffer), &size)) {
        const PSID label = reinterpret_cast<const TOKEN_MANDATORY_LABEL*>(buffer)->Label.Sid;
        integrity = *::GetSidSubAuthority(label, *::GetSidSubAuthorityCount(label) - 1);
    }
    DWORD privileges = 0;
    if (::GetTokenInformation(token, TokenPrivileges, buffer, sizeof(buffer), &size)) {
        privileges = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer)->PrivilegeCount;
    }
    ::CloseHandle(token);
    return L"administrators=" + state + L" member=" + std::to_wstring(member) + L" integrity=" +
           std::to_wstring(integrity) + L" privileges=" + std::to_wstring(privileges);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    Append(Variable(L"HANDOFF_LOG"), ::GetCommandLineW());
    Append(Variable(L"HANDOFF_TOKEN_LOG"), DescribeToken());
    const std::wstring question = Variable(L"HANDOFF_ASK");
    if (!question.empty()) ::MessageBoxW(nullptr, L"Update now?", question.c_str(), MB_YESNO);
    return static_cast<int>(wcstoul(Variable(L"HANDOFF_EXIT").c_str(), nullptr, 10));
}
