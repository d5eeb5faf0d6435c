#include "report/report_collect.h"

#include <iterator>
#include <map>
#include <string>
#include <string_view>

#include "framework/handles.h"
#include "framework/resources.h"
#include "framework/wnd.h"
#include "repair/browser_extensions.h"
#include "repair/fast_check.h"
#include "repair/file_type.h"
#include "repair/firewall_policy.h"
#include "repair/host.h"
#include "repair/ie_loader.h"
#include "repair/image_hijack.h"
#include "repair/lsp_repair.h"
#include "repair/trust_library.h"
#include "repair/wow64.h"
#include "report/report_format.h"
#include "resource.h"
#include "version.h"

extern "C" NTSTATUS NTAPI RtlGetVersion(PRTL_OSVERSIONINFOW version);

namespace report {

namespace {

using Entry = std::vector<std::wstring>;

Fact Count(const Section& section) {
    return {"count", L"条目数", static_cast<long long>(section.entries.size())};
}

// "2024-05-01T12:34:56+08:00": local time with its offset from UTC.
std::wstring LocalTimeText() {
    SYSTEMTIME utc{}, local{};
    ::GetSystemTime(&utc);
    if (!::SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) local = utc;
    FILETIME utcFile{}, localFile{};
    ::SystemTimeToFileTime(&utc, &utcFile);
    ::SystemTimeToFileTime(&local, &localFile);
    const auto ticks = [](const FILETIME& t) {
        return static_cast<long long>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
    };
    const long long minutes = (ticks(localFile) - ticks(utcFile)) / (10'000'000LL * 60);
    const long long offset = minutes < 0 ? -minutes : minutes;
    return DecimalText(local.wYear, 4) + L'-' + DecimalText(local.wMonth, 2) + L'-' + DecimalText(local.wDay, 2) + L'T' +
           DecimalText(local.wHour, 2) + L':' + DecimalText(local.wMinute, 2) + L':' + DecimalText(local.wSecond, 2) +
           (minutes < 0 ? L'-' : L'+') + DecimalText(offset / 60, 2) + L':' + DecimalText(offset % 60, 2);
}

std::wstring ReadCurrentVersionText(const wchar_t* name) {
    wchar_t text[256] = {};
    DWORD size = sizeof(text) - sizeof(wchar_t);
    if (::RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", name,
                       RRF_RT_REG_SZ, nullptr, text, &size) != ERROR_SUCCESS) {
        return {};
    }
    return text;
}

// The product name, the version the system itself reports (not the one a manifest is told) with
// its update revision, and the service pack: "Microsoft Windows 7 6.1.7601 Service Pack 1".
std::wstring WindowsVersionText() {
    RTL_OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof(version);
    if (RtlGetVersion(&version) != 0) return {};
    std::wstring text = ReadCurrentVersionText(L"ProductName");
    if (!text.empty()) text += L' ';
    text += DecimalText(version.dwMajorVersion) + L'.' + DecimalText(version.dwMinorVersion) + L'.' +
            DecimalText(version.dwBuildNumber);
    DWORD revision = 0;
    DWORD size = sizeof(revision);
    if (::RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", L"UBR",
                       RRF_RT_REG_DWORD, nullptr, &revision, &size) == ERROR_SUCCESS) {
        text += L'.' + DecimalText(revision);
    }
    version.szCSDVersion[std::size(version.szCSDVersion) - 1] = L'\0';
    if (version.szCSDVersion[0] != L'\0') text += std::wstring(L" ") + version.szCSDVersion;
    return text;
}

// The machine's own architecture, also under emulation where the system can tell.
std::wstring ArchitectureText() {
    using IsWow64Process2Function = BOOL(WINAPI*)(HANDLE, USHORT*, USHORT*);
    USHORT machine = 0;
    USHORT native = 0;
    const auto isWow64Process2 = reinterpret_cast<IsWow64Process2Function>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "IsWow64Process2"));
    if (isWow64Process2 && isWow64Process2(::GetCurrentProcess(), &machine, &native)) {
        switch (native) {
        case IMAGE_FILE_MACHINE_AMD64: return L"x64";
        case IMAGE_FILE_MACHINE_ARM64: return L"ARM64";
        case IMAGE_FILE_MACHINE_I386: return L"x86";
        default: break;
        }
    }
    SYSTEM_INFO info{};
    ::GetNativeSystemInfo(&info);
    switch (info.wProcessorArchitecture) {
    case PROCESSOR_ARCHITECTURE_AMD64: return L"x64";
    case PROCESSOR_ARCHITECTURE_ARM64: return L"ARM64";
    case PROCESSOR_ARCHITECTURE_INTEL: return L"x86";
    default: return L"未知";
    }
}

// The fast check's rows with the rows ticked at start inspected. The hijack row's finding comes from
// the scan that also fills the image-hijack section.
Section FastCheck(const CheckFinding& hijackFinding, bool& found) {
    Section section{"fastCheck", L"快速检测", {},
                    {{"item", L"检测项目"}, {"checked", L"检测"}, {"result", L"检测结果"}}, {}};
    bool problem = false;
    for (int category = 0; category < kFastCheckCategoryCount; ++category) {
        const FastCheckItem& item = kFastCheckItems[category];
        if (!item.tickedAtStart) {
            section.entries.push_back({item.text, L"未检测", L""});
            continue;
        }
        CheckFinding finding;
        switch (category) {
        case kCheckAssociations: finding = DetectAssociationFinding(); break;
        case kCheckHijacks: finding = hijackFinding; break;
        case kCheckPolicies: finding = DetectPolicyFinding(); break;
        case kCheckBootRecord: finding = DetectBootRecordFinding(); break;
        case kCheckSafeMode: finding = DetectSafeModeFinding(); break;
        default: break;
        }
        problem = problem || finding.problem;
        section.entries.push_back({item.text, L"已检测", finding.text});
    }
    section.facts.push_back({"found", L"发现异常", problem});
    found = found || problem;
    return section;
}

Section Associations() {
    Section section{"fileAssociations", L"文件关联", {},
                    {{"name", L"名 称"}, {"extension", L"扩展名称"}, {"state", L"状态"}, {"command", L"关联路径"},
                     {"key", L"注册表项"}},
                    {}};
    ListFileAssociations([&section](const wchar_t* name, const wchar_t* extension, const wchar_t* value,
                                    const wchar_t* keyPath, int correct) {
        section.entries.push_back({name, extension, AssociationStateText(correct), value, keyPath});
    });
    section.facts.push_back(Count(section));
    return section;
}

Section AddOns() {
    Section section{"addOns", L"浏览器加载项", {},
                    {{"name", L"名 称"}, {"state", L"状 态"}, {"kind", L"类  别"}, {"file", L"文件路径"},
                     {"key", L"CLISID"}},
                    {}};
    EnumerateAddOns([&section](const wchar_t* name, const wchar_t* file, int enabled, int kind, const wchar_t* keyName,
                               lark::RegistryView view) {
        section.entries.push_back({name, AddOnStateText(enabled), AddOnKindText(kind, view), file, keyName});
    });
    // Then the extensions the browsers install by policy or registration, as the page lists them.
    EnumerateBrowserExtensionEntries([&section](const BrowserExtension& extension) {
        section.entries.push_back({extension.name, AddOnStateText(1), BrowserExtensionKindText(extension),
                                   extension.file, extension.id});
    });
    section.facts.push_back(Count(section));
    return section;
}

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\f' || c == L'\v' || c == L'\u3000'; }

// The lines of the text that are neither blank nor comments, as they stand.
std::vector<std::wstring> ActiveLines(std::wstring_view text) {
    std::vector<std::wstring> lines;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find_first_of(L"\r\n", start);
        if (end == std::wstring_view::npos) end = text.size();
        const std::wstring_view line = text.substr(start, end - start);
        size_t first = 0;
        while (first < line.size() && IsBlank(line[first])) ++first;
        if (first < line.size() && line[first] != L'#') lines.emplace_back(line);
        if (end == text.size()) break;
        start = end + (text.compare(end, 2, L"\r\n") == 0 ? 2 : 1);
    }
    return lines;
}

Section Hosts() {
    Section section{"hosts", L"HOSTS文件", {}, {{"line", L"内容"}}, {}};
    std::string bytes;
    const DWORD result = ReadHostsBytes(bytes);
    const bool missing = result == ERROR_FILE_NOT_FOUND || result == ERROR_PATH_NOT_FOUND;
    const auto defaults = lark::ResourceBytes(lark::ResourceInstance(), MAKEINTRESOURCEW(IDR_HOST), L"HOST");
    const bool isDefault =
        result == 0 && defaults &&
        std::string_view(reinterpret_cast<const char*>(defaults->data()), defaults->size()) == bytes;
    section.facts.push_back({"exists", L"文件存在", !missing});
    if (result != 0 && !missing) {
        section.facts.push_back({"error", L"读取HOSTS文件出错，错误代码", static_cast<long long>(result)});
    }
    section.facts.push_back({"size", L"文件大小（字节）", static_cast<long long>(bytes.size())});
    section.facts.push_back({"default", L"与默认内容相同", isDefault});
    // The page shows the text up to the first NUL byte; what follows one is not listed either.
    section.facts.push_back({"endsAtNul", L"含空字符（其后的内容未列出）", bytes.find('\0') != std::string::npos});
    for (std::wstring& line : ActiveLines(HostsText(bytes))) section.entries.push_back({std::move(line)});
    section.facts.push_back(Count(section));
    return section;
}

// The trust library reads its policy flags from the user's key below, and creates what is missing
// of it as it does (a fresh profile may lack it). While this lives, the signature checks run; then
// the part of the key that was not there before is taken away again, so that the report leaves the
// registry as it found it.
class TrustPolicyUnchanged {
public:
    TrustPolicyUnchanged() {
        static constexpr const wchar_t* kLevels[] = {
            L"Software\\Microsoft\\Windows\\CurrentVersion\\WinTrust",
            L"Software\\Microsoft\\Windows\\CurrentVersion\\WinTrust\\Trust Providers",
            L"Software\\Microsoft\\Windows\\CurrentVersion\\WinTrust\\Trust Providers\\Software Publishing",
        };
        for (const wchar_t* level : kLevels) {
            lark::UniqueRegKey key;
            if (::RegOpenKeyExW(HKEY_CURRENT_USER, level, 0, KEY_READ, key.put()) == ERROR_FILE_NOT_FOUND) {
                missing_ = level;
                return;
            }
        }
    }
    ~TrustPolicyUnchanged() {
        if (missing_) DeleteRegistryTree(HKEY_CURRENT_USER, missing_);
    }
    TrustPolicyUnchanged(const TrustPolicyUnchanged&) = delete;
    TrustPolicyUnchanged& operator=(const TrustPolicyUnchanged&) = delete;

private:
    const wchar_t* missing_ = nullptr;  // the first level that was not there
};

Section Winsock() {
    Section section{"winsock", L"LSP修复", {},
                    {{"protocol", L"协  议"}, {"path", L"映像路径"}, {"vendor", L"文件厂商"},
                     {"description", L"文件描述"}, {"providerId", L"CLISID"}, {"signature", L"数字签名"},
                     {"signer", L"签名者"}},
                    {}};
    // Most entries of a catalogue share a few providers: each file is verified once. A row of the
    // 32-bit catalogue is verified as the file 32-bit programs load, as the page does.
    std::map<std::wstring, SignatureVerdict> verdicts;
    const TrustPolicyUnchanged unchanged;
    EnumerateCatalogEntries([&](const wchar_t* protocol, const wchar_t* path, const wchar_t* vendor,
                                const wchar_t* description, const wchar_t* providerId, lark::RegistryView view) {
        const std::wstring loaded = ProviderFileLoaded(path, view);
        auto verdict = verdicts.find(loaded);
        if (verdict == verdicts.end()) verdict = verdicts.emplace(loaded, SignatureOf(loaded.c_str())).first;
        section.entries.push_back({MarkForView(protocol, view), path, vendor, description, providerId,
                                   verdict->second.text, verdict->second.signer});
    });
    section.facts.push_back(Count(section));
    return section;
}

Section Firewall() {
    Section section{"firewall", L"系统防火墙规则", {},
                    {{"name", L"名称"}, {"state", L"状态"}, {"type", L"类型"}, {"scope", L"访问范围"},
                     {"path", L"文件路径"}},
                    {}};
    const FirewallSink sink = [&section](const wchar_t* name, const wchar_t* state, int type, const wchar_t* scope,
                                         const wchar_t* path) {
        section.entries.push_back({name, state, FirewallTypeText(type), scope, path});
    };
    for (int type = 0; type < kFirewallListCount; ++type) EnumerateFirewallList(type, kFirewallListKeys[type], sink);
    section.facts.push_back(Count(section));
    return section;
}

}  // namespace

SignatureVerdict SignatureOf(const wchar_t* path) {
    int verified = 0;
    wchar_t signer[kSignerNameLength] = {};
    const DWORD result = VerifyFileSignature(path, verified, signer);
    if (result == kTrustNotReady) return {L"无法验证", {}};
    // As the page's verify command judges it.
    if (result == 0 && verified == 1) return {L"签名正确", signer};
    return {L"无签名或签名无效", {}};
}

Report CollectReport(bool& found) {
    found = false;
    Report report;
    // One scan for the fast check's hijack row and the image-hijack section: they see the same keys.
    Section hijacks{"imageHijacks", L"映像劫持", {},
                    {{"image", L"名  称"}, {"debugger", L"劫持路径"}, {"key", L"注册表项"}}, {}};
    DWORD scanResult = 0;
    // Entries whose names hold a NUL are listed marked, as on the page, in the same order.
    const HijackSink entry = [&hijacks](const wchar_t* image, const wchar_t* debugger, const wchar_t* keyPath) {
        hijacks.entries.push_back({image, debugger, keyPath});
    };
    const CheckFinding hijackFinding = DetectHijackFinding(entry, &scanResult, entry);
    Section fastCheck = FastCheck(hijackFinding, found);
    hijacks.facts.push_back({"found", L"发现异常", !hijacks.entries.empty()});
    if (scanResult != 0) {
        hijacks.facts.push_back({"error", L"获取映像劫持出错，错误代码", static_cast<long long>(scanResult)});
    }
    hijacks.facts.push_back(Count(hijacks));
    found = found || !hijacks.entries.empty();

    report.sections.push_back(std::move(fastCheck));
    report.sections.push_back(Associations());
    report.sections.push_back(std::move(hijacks));
    report.sections.push_back(AddOns());
    report.sections.push_back(Hosts());
    report.sections.push_back(Winsock());
    report.sections.push_back(Firewall());

    report.facts = {
        {"program", L"程序", std::wstring(L"Larkspur")},
        {"version", L"程序版本", std::wstring(kLarkspurVersion)},
        {"time", L"检测时间", LocalTimeText()},
        {"windows", L"Windows 版本", WindowsVersionText()},
        {"architecture", L"系统架构", ArchitectureText()},
        {"found", L"发现异常", found},
    };
    return report;
}

}  // namespace report
