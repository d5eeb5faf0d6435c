// Larkspur.exe /report on the demo's damaged machine (the prefix is seeded from scripts/seed): exit
// code 1, a strict JSON report and a text report that say the same, every section listing exactly
// the rows its page lists, and nothing changed or shown on the way.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "../common/report_forms.h"
#include "../common/strict_json.h"
#include "pages/fast_check_dialog.h"
#include "pages/file_type_dialog.h"
#include "pages/firewall_policy_dialog.h"
#include "pages/host_dialog.h"
#include "pages/ie_loader_dialog.h"
#include "pages/image_hijack_dialog.h"
#include "pages/lsp_repair_dialog.h"
#include "repair/trust_library.h"
#include "report_run.h"
#include "resource.h"
#include "support/list_page.h"
#include "support/registry.h"
#include "support/scripted_prompts.h"
#include "support/ui.h"

namespace {

using Rows = std::vector<std::vector<std::string>>;

std::string Utf8(const std::wstring& text) {
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr, nullptr);
    return bytes;
}

Rows Utf8Rows(const test::ListPageDriver::Rows& rows) {
    Rows converted;
    for (const auto& row : rows) {
        std::vector<std::string> cells;
        for (const auto& cell : row) cells.push_back(Utf8(cell));
        converted.push_back(cells);
    }
    return converted;
}

// The entries of a JSON section, the first `columns` fields of each.
Rows Entries(const strict_json::Value& report, const char* section, size_t columns) {
    Rows rows;
    const strict_json::Value* value = report.Get(section);
    if (!value || !value->Get("entries")) return rows;
    for (const auto& entry : value->Get("entries")->items) {
        std::vector<std::string> fields;
        for (size_t i = 0; i < columns && i < entry.members.size(); ++i) fields.push_back(entry.members[i].second.text);
        rows.push_back(fields);
    }
    return rows;
}

// The HOSTS lines the report lists: neither blank nor comments, as they stand.
std::vector<std::string> ActiveLines(const std::wstring& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find_first_of(L"\r\n", start);
        if (end == std::wstring::npos) end = text.size();
        const std::wstring line = text.substr(start, end - start);
        const size_t first = line.find_first_not_of(L" \t");
        if (first != std::wstring::npos && line[first] != L'#') lines.push_back(Utf8(line));
        if (end == text.size()) break;
        start = end + (text.compare(end, 2, L"\r\n") == 0 ? 2 : 1);
    }
    return lines;
}

// The first line that one snapshot has and the other lacks; empty when they are the same.
std::wstring FirstDifference(const std::vector<std::wstring>& after, const std::vector<std::wstring>& before) {
    for (size_t i = 0; i < std::max(after.size(), before.size()); ++i) {
        if (i >= after.size()) return L"gone: " + before[i];
        if (i >= before.size() || after[i] != before[i]) return L"now: " + after[i];
    }
    return L"";
}

// A Windows machine always has its certificate stores; a Wine prefix gets their keys the first time
// a signed file is checked. One check here, so that the snapshots below see the report's effect only.
void CertificateStoresInPlace() {
    const std::wstring signedFile =
        test::UnixPathToWindows(test::Env(L"LARKSPUR_TEST_BIN_DIR")) + L"\\trust\\signed.exe";
    ASSERT_EQ(LoadTrustLibrary(), kTrustOk);
    int verified = 0;
    wchar_t signer[kSignerNameLength] = {};
    EXPECT_EQ(VerifyFileSignature(signedFile.c_str(), verified, signer), 0u);
    UnloadTrustLibrary();
}

TEST(ReportOnDamagedMachine, ListsWhatThePagesListChangesNothingAndShowsNoWindow) {
    CertificateStoresInPlace();
    const std::wstring json = test::TempPath(L"damaged.json");
    const std::wstring text = test::TempPath(L"damaged.txt");
    const std::string hostsBefore = report_run::ReadBytes(L"C:\\windows\\system32\\drivers\\etc\\hosts");
    ASSERT_FALSE(hostsBefore.empty()) << "the seed writes a HOSTS file";
    const auto machineBefore = test::RegistrySnapshot(HKEY_LOCAL_MACHINE);
    const auto usersBefore = test::RegistrySnapshot(HKEY_USERS);

    report_run::Run jsonRun, textRun;
    {
        report_run::WindowWatch windows;
        ASSERT_TRUE(windows.Installed());
        jsonRun = report_run::RunLarkspur(L"/report \"" + json + L"\"");
        textRun = report_run::RunLarkspur(L"/report \"" + text + L"\"");
        // No window, by a global hook that notes every process creating one.
        EXPECT_FALSE(windows.Created(jsonRun.processId));
        EXPECT_FALSE(windows.Created(textRun.processId));
    }
    EXPECT_EQ(jsonRun.exitCode, 1) << jsonRun.standardError.substr(0, 2000);
    EXPECT_EQ(textRun.exitCode, 1) << textRun.standardError;
    EXPECT_EQ(textRun.standardError, "");

    // Nothing changed: the whole registry and the HOSTS file are as they were.
    EXPECT_EQ(FirstDifference(test::RegistrySnapshot(HKEY_LOCAL_MACHINE), machineBefore), L"");
    EXPECT_EQ(FirstDifference(test::RegistrySnapshot(HKEY_USERS), usersBefore), L"");
    EXPECT_EQ(report_run::ReadBytes(L"C:\\windows\\system32\\drivers\\etc\\hosts"), hostsBefore);

    std::string error;
    const auto report = strict_json::Parse(report_run::ReadBytes(json), &error);
    ASSERT_TRUE(report) << error;
    const std::string textReport = report_run::ReadBytes(text);
    EXPECT_EQ(report_forms::CompareTextWithJson(textReport, *report, "time"), "");
    EXPECT_TRUE(report->Get("found")->boolean);
    EXPECT_EQ(report->Get("version")->text, "v1.6");

    test::ScriptedPrompts prompts;
    test::PageHost host;

    // The fast check as "检  测" leaves it.
    CFastCheckDialog fastCheck;
    ASSERT_TRUE(host.Create(fastCheck, IDD_FASTCHECK));
    fastCheck.SendMessage(WM_COMMAND, MAKEWPARAM(IDC_DETECT, BN_CLICKED), 0);
    Rows fastCheckRows;
    for (int row = 0; row < fastCheck.CheckList().GetItemCount(); ++row) {
        fastCheckRows.push_back({Utf8(fastCheck.CheckList().GetItemText(row, 0)),
                                 fastCheck.CheckList().GetCheck(row) ? "已检测" : "未检测",
                                 Utf8(fastCheck.CheckList().GetItemText(row, 1))});
    }
    EXPECT_EQ(Entries(*report, "fastCheck", 3), fastCheckRows);
    EXPECT_EQ(fastCheckRows[0][2], ".exe、.txt文件关联错误");  // the seed's two broken associations
    EXPECT_TRUE(report->Get("fastCheck")->Get("found")->boolean);

    // Every list page, cell for cell.
    const struct {
        const char* section;
        CListPage* page;
        size_t columns;
        size_t seeded;  // rows the seed makes at least
    } lists[] = {
        {"fileAssociations", new CFileTypeDialog, 5, 2},
        {"imageHijacks", new CImageHijackDialog, 3, 1},
        {"addOns", new CIELoaderDialog, 5, 6},
        {"winsock", new CLSPRepairDialog, 5, 7},
        {"firewall", new CFirewallPolicyDialog, 5, 4},
    };
    for (const auto& list : lists) {
        ASSERT_TRUE(host.Create(*list.page, IDD_LISTPAGE)) << list.section;
        test::ListPageDriver driver(*list.page, prompts);
        const Rows rows = Utf8Rows(driver.Snapshot());
        EXPECT_GE(rows.size(), list.seeded) << list.section;
        EXPECT_EQ(Entries(*report, list.section, list.columns), rows) << list.section;
        EXPECT_EQ(report->Get(list.section)->Get("count")->text, std::to_string(rows.size())) << list.section;
        list.page->DestroyWindow();
        delete list.page;
    }
    EXPECT_TRUE(report->Get("imageHijacks")->Get("found")->boolean);

    // The speedlsp provider the seed plants carries no signature.
    bool speedlsp = false;
    for (const auto& entry : report->Get("winsock")->Get("entries")->items) {
        if (entry.Get("path")->text.find("speedlsp.dll") == std::string::npos) continue;
        speedlsp = true;
        EXPECT_EQ(entry.Get("signature")->text, "无签名或签名无效");
        EXPECT_EQ(entry.Get("signer")->text, "");
    }
    EXPECT_TRUE(speedlsp);

    // The HOSTS page's text, less blank and comment lines.
    CHostDialog hosts;
    ASSERT_TRUE(host.Create(hosts, IDD_HOSTS));
    std::vector<std::string> hostLines;
    for (const auto& entry : report->Get("hosts")->Get("entries")->items) hostLines.push_back(entry.Get("line")->text);
    EXPECT_EQ(hostLines, ActiveLines(test::WindowText(hosts.GetDlgItem(IDC_HOSTS_EDIT))));
    EXPECT_EQ(hostLines.size(), 10u);
    EXPECT_EQ(report->Get("hosts")->Get("size")->text, std::to_string(hostsBefore.size()));
    EXPECT_FALSE(report->Get("hosts")->Get("default")->boolean);
}

}  // namespace
