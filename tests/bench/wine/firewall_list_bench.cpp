// Listing 5,000 firewall exceptions (an infected machine's lists can be that long) through the
// page's listing routine, beside a bare enumeration of the same values.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "bench.h"
#include "framework/handles.h"
#include "pages/firewall_policy_dialog.h"
#include "repair/firewall_policy.h"
#include "resource.h"
#include "support/registry.h"
#include "support/ui.h"

namespace {

constexpr int kEntries = 5000;
constexpr int kRuns = 3;
const std::wstring kPolicy = L"SYSTEM\\CurrentControlSet\\Services\\SharedAccess\\Parameters\\FirewallPolicy";

// What the listing reads, and nothing else: every value of the four lists into the same buffers.
int BareEnumeration() {
    int read = 0;
    for (const wchar_t* path : kFirewallListKeys) {
        lark::UniqueRegKey list;
        if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_QUERY_VALUE, list.put()) != ERROR_SUCCESS) continue;
        DWORD values = 0;
        ::RegQueryInfoKeyW(list.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                           nullptr, nullptr);
        for (DWORD i = 0; i < values; ++i) {
            wchar_t name[1024], data[1024];
            DWORD nameLength = 1024, size = sizeof(data);
            if (::RegEnumValueW(list.get(), i, name, &nameLength, nullptr, nullptr, reinterpret_cast<BYTE*>(data),
                                &size) == ERROR_SUCCESS) {
                ++read;
            }
        }
    }
    return read;
}

int ListAll() {
    int rows = 0;
    const FirewallSink count = [&](const wchar_t*, const wchar_t*, int, const wchar_t*, const wchar_t*) { ++rows; };
    for (int type = 0; type < kFirewallListCount; ++type) EnumerateFirewallList(type, kFirewallListKeys[type], count);
    return rows;
}

}  // namespace

int main() {
    test::DeleteTree(HKEY_LOCAL_MACHINE, kPolicy);
    for (int i = 0; i < kEntries; ++i) {  // spread over the four lists, as programs and ports
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

    test::PageHost host;
    CFirewallPolicyDialog page;
    host.Create(page, IDD_LISTPAGE);
    int bareRead = 0, listed = 0;
    double bare = 1e300, listing = 1e300, refill = 1e300;
    for (int round = 0; round < kRuns; ++round) {  // interleaved, so that all see the same registry state
        bare = std::min(bare, bench::BestOf(1, [&] { bareRead = BareEnumeration(); }));
        listing = std::min(listing, bench::BestOf(1, [&] { listed = ListAll(); }));
        refill = std::min(refill, bench::BestOf(1, [&] {
            page.SendMessage(WM_COMMAND, MAKEWPARAM(ID_FIREWALL_REFRESH, 0), 0);
            ::UpdateWindow(page.List().m_hWnd);
        }));
    }
    std::printf("firewall lists, %d exceptions (%d listed, %d read bare, %d rows on the page)\n", kEntries, listed,
                bareRead, page.List().GetItemCount());
    bench::Report("  listing routine over the four lists", listing, "bare enumeration of the same values", bare);
    bench::Report("  refill of the page", refill, "bare enumeration of the same values", bare);

    test::DeleteTree(HKEY_LOCAL_MACHINE, kPolicy);
    return 0;
}
