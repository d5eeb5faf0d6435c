// A whole report of a badly damaged machine (2,000 image hijacks, 500 add-ons, 5,000 firewall
// exceptions, a Winsock catalogue of 20 entries), gathered, written in both forms and saved, beside
// the bare reads of the same keys and files plus the signature checks of the providers.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "bench.h"
#include "framework/handles.h"
#include "repair/catalog_item.h"
#include "repair/fast_check.h"
#include "repair/file_type.h"
#include "repair/firewall_policy.h"
#include "repair/ie_loader.h"
#include "repair/image_hijack.h"
#include "repair/lsp_repair.h"
#include "repair/trust_library.h"
#include "report/report_collect.h"
#include "report/report_file.h"
#include "support/registry.h"
#include "support/ui.h"

namespace {

constexpr int kHijacks = 2000;
constexpr int kAddOns = 500;
constexpr int kExceptions = 5000;
constexpr int kCatalogueEntries = 20;
constexpr int kRuns = 3;
const wchar_t* const kProviders[] = {L"%SystemRoot%\\system32\\mswsock.dll", L"%SystemRoot%\\system32\\ws2_32.dll",
                                     L"%SystemRoot%\\system32\\wshtcpip.dll"};

std::wstring Clsid(int i) {
    wchar_t text[64];
    std::swprintf(text, 64, L"{5C1B7E20-3D4A-4F6B-9A11-%012d}", i);
    return text;
}

void Seed() {
    for (int i = 0; i < kHijacks; ++i) {
        wchar_t image[32];
        std::swprintf(image, 32, L"tool%04d.exe", i);
        test::SetString(HKEY_LOCAL_MACHINE, std::wstring(kImageOptionsKey) + image, L"Debugger", L"C:\\windows\\temp\\x.exe");
    }
    for (int i = 0; i < kAddOns; ++i) {  // helper objects and pre-approved controls, every tenth disabled
        const std::wstring clsid = Clsid(i);
        test::SetString(HKEY_CLASSES_ROOT, L"CLSID\\" + clsid, nullptr, L"Add-on " + std::to_wstring(i));
        test::SetString(HKEY_CLASSES_ROOT, L"CLSID\\" + clsid + L"\\InprocServer32", nullptr, L"C:\\addons\\a.dll");
        test::CreateKey(HKEY_LOCAL_MACHINE, std::wstring(i % 2 ? kPreApprovedKey : kHelperObjectsKey) + clsid);
        if (i % 10 == 0) test::SetDword(HKEY_CURRENT_USER, std::wstring(kAddOnSettingsKey) + clsid, L"Flags", 1);
    }
    for (int i = 0; i < kExceptions; ++i) {
        const int type = i % kFirewallListCount;
        wchar_t name[64], data[128];
        if (type % 2 == 0) {
            std::swprintf(name, 64, L"C:\\Program Files\\App%04d\\app.exe", i);
            std::swprintf(data, 128, L"%ls:*:Enabled:Application %04d", name, i);
        } else {
            std::swprintf(name, 64, L"%d:TCP", 10000 + i);
            std::swprintf(data, 128, L"%ls:LocalSubNet:Enabled:Port %d", name, 10000 + i);
        }
        test::SetString(HKEY_LOCAL_MACHINE, kFirewallListKeys[type], name, data);
    }
    for (int i = 0; i < kCatalogueEntries; ++i) {
        std::vector<BYTE> item(kCatalogItemSize);
        const std::wstring provider = kProviders[i % std::size(kProviders)];
        std::copy(provider.begin(), provider.end(), item.begin());
        const std::wstring protocol = L"Provider " + std::to_wstring(i);
        std::copy_n(reinterpret_cast<const BYTE*>(protocol.data()), protocol.size() * 2, item.begin() + kProtocolOffset);
        wchar_t name[16];
        std::swprintf(name, 16, L"%012d", i + 1);
        test::SetBinary(HKEY_LOCAL_MACHINE, std::wstring(kCatalogEntriesKey) + L"\\" + name, L"PackedCatalogItem",
                        item.data(), static_cast<DWORD>(item.size()));
    }
}

DWORD ReadText(HKEY root, const std::wstring& path, const wchar_t* name) {
    lark::UniqueRegKey key;
    if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return 0;
    wchar_t text[261];
    DWORD size = 520;
    return ::RegQueryValueExW(key.get(), name, nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size) == 0 ? 1 : 0;
}

// Calls visit with each subkey name of root\path.
template <class Visit>
void EachSubkey(HKEY root, const std::wstring& path, Visit visit) {
    lark::UniqueRegKey key;
    if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return;
    for (DWORD i = 0;; ++i) {
        wchar_t name[260];
        DWORD length = 260;
        if (::RegEnumKeyExW(key.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        visit(std::wstring(name, length));
    }
}

// What the report reads, and nothing else: the same keys and values, the HOSTS file, and one
// signature check per provider file.
int BareReads() {
    int read = 0;
    for (const auto& entry : FileAssociationTable) read += ReadText(HKEY_CLASSES_ROOT, entry.commandKey, nullptr);
    const std::wstring policies = L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
    read += ReadText(HKEY_CURRENT_USER, policies, L"DisableRegistryTools") +
            ReadText(HKEY_CURRENT_USER, policies, L"DisableTaskmgr");
    EachSubkey(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\SafeBoot", [&](const std::wstring&) { ++read; });
    EachSubkey(HKEY_LOCAL_MACHINE, kImageOptionsKey, [&](const std::wstring& name) {
        read += ReadText(HKEY_LOCAL_MACHINE, kImageOptionsKey + name, L"Debugger");
    });
    for (const wchar_t* source : {kHelperObjectsKey, kPreApprovedKey}) {
        EachSubkey(HKEY_LOCAL_MACHINE, source, [&](const std::wstring& name) {
            read += ReadText(HKEY_CLASSES_ROOT, L"CLSID\\" + name, nullptr);
            read += ReadText(HKEY_CLASSES_ROOT, L"CLSID\\" + name + L"\\InprocServer32", nullptr);
            read += ReadText(HKEY_CURRENT_USER, kAddOnSettingsKey + name, L"Flags");
        });
    }
    {
        lark::UniqueFile hosts(::CreateFileW(L"C:\\windows\\system32\\drivers\\etc\\hosts", GENERIC_READ,
                                             FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        char bytes[4096];
        DWORD done = 0;
        if (hosts && ::ReadFile(hosts.get(), bytes, sizeof(bytes), &done, nullptr)) ++read;
    }
    std::set<std::wstring> providers;
    EachSubkey(HKEY_LOCAL_MACHINE, kCatalogEntriesKey, [&](const std::wstring& name) {
        lark::UniqueRegKey entry;
        if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, (std::wstring(kCatalogEntriesKey) + L"\\" + name).c_str(), 0, KEY_READ,
                            entry.put()) != ERROR_SUCCESS) {
            return;
        }
        BYTE item[1024];
        DWORD size = sizeof(item);
        if (::RegQueryValueExW(entry.get(), L"PackedCatalogItem", nullptr, nullptr, item, &size) != ERROR_SUCCESS) return;
        ++read;
        wchar_t path[260];
        ::ExpandEnvironmentStringsW(std::wstring(item, item + strnlen(reinterpret_cast<char*>(item), 260)).c_str(), path,
                                    260);
        providers.insert(path);
    });
    for (const std::wstring& provider : providers) {
        int verified = 0;
        wchar_t signer[kSignerNameLength];
        VerifyFileSignature(provider.c_str(), verified, signer);
        ++read;
    }
    for (const wchar_t* list : kFirewallListKeys) {
        lark::UniqueRegKey key;
        if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, list, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) continue;
        for (DWORD i = 0;; ++i) {
            wchar_t name[1024], data[1024];
            DWORD nameLength = 1024, size = sizeof(data);
            if (::RegEnumValueW(key.get(), i, name, &nameLength, nullptr, nullptr, reinterpret_cast<BYTE*>(data),
                                &size) != ERROR_SUCCESS) {
                break;
            }
            ++read;
        }
    }
    return read;
}

}  // namespace

int main() {
    Seed();
    LoadTrustLibrary();
    const std::wstring path = test::TempPath(L"bench-report.json");
    int bareRead = 0;
    size_t bytes = 0;
    bool found = false;
    double bare = 1e300, whole = 1e300;
    for (int round = 0; round < kRuns; ++round) {  // interleaved, so that both see the same state
        bare = std::min(bare, bench::BestOf(1, [&] { bareRead = BareReads(); }));
        whole = std::min(whole, bench::BestOf(1, [&] {
            const report::Report report = report::CollectReport(found);
            const std::string json = report::RenderReport(report, report::ReportFormat::Json);
            bytes = json.size();
            report::WriteReportFile(path.c_str(), json);
        }));
    }
    std::printf("report of %d hijacks, %d add-ons, %d firewall exceptions, %d catalogue entries (%d bare reads, "
                "%zu bytes of JSON)\n",
                kHijacks, kAddOns, kExceptions, kCatalogueEntries, bareRead, bytes);
    char goal[96];
    std::snprintf(goal, sizeof(goal), "at most 1.5 x bare + 150 ms = %.1f ms", 1.5 * bare + 150);
    bench::Report("  gather, render and save the report", whole, "bare reads and signature checks", bare, goal);
    UnloadTrustLibrary();
    ::DeleteFileW(path.c_str());
    return 0;
}
