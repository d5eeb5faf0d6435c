// The report gathered in this process: texts a hostile registry and HOSTS file hold still give a
// strict JSON report and a valid UTF-8 text report that say the same; a missing HOSTS file is
// reported and not created; providers' signatures with their signers; no window on the way.
#include <gtest/gtest.h>

#include <windows.h>

#include <random>
#include <string>
#include <vector>

#include "../common/report_forms.h"
#include "../common/strict_json.h"
#include "framework/handles.h"
#include "repair/catalog_item.h"
#include "repair/firewall_policy.h"
#include "repair/ie_loader.h"
#include "repair/image_hijack.h"
#include "repair/lsp_repair.h"
#include "repair/trust_library.h"
#include "report/report_collect.h"
#include "report/report_file.h"
#include "report/report_format.h"
#include "support/registry.h"
#include "support/ui.h"

namespace {

const std::wstring kHosts = L"C:\\windows\\system32\\drivers\\etc\\hosts";
const std::wstring kHijack = std::wstring(kImageOptionsKey) + L"hostile\x01\x1b";
const std::wstring kClsid = L"{0BADC0DE-0000-4000-8000-000000000001}";
const std::wstring kHelper = std::wstring(kHelperObjectsKey) + kClsid;
const std::wstring kClassKey = L"CLSID\\" + kClsid;
// The catalogue of 64-bit programs: its rows are verified at the path they show.
const std::wstring kEntries = kCatalogEntries64Key;

std::string ReadFile(const std::wstring& path) {
    lark::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) return {};
    std::string bytes(::GetFileSize(file.get(), nullptr), '\0');
    DWORD read = 0;
    if (!bytes.empty()) ::ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    bytes.resize(read);
    return bytes;
}

bool WriteFile(const std::wstring& path, const std::string& bytes) {
    lark::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    return file && ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

std::string Utf8(std::wstring_view text) {
    std::string out;
    report::AppendUtf8(out, text);
    return out;
}

// A "PackedCatalogItem" of the standard size: the ANSI path at 0, the protocol's name at 376.
std::vector<BYTE> CatalogItem(const std::string& path, const std::wstring& protocol) {
    std::vector<BYTE> bytes(kCatalogItemSize);
    std::copy(path.begin(), path.end(), bytes.begin());
    std::copy_n(reinterpret_cast<const BYTE*>(protocol.data()), protocol.size() * 2, bytes.begin() + kProtocolOffset);
    return bytes;
}

// Windows created on this thread while it lives.
class WindowWatch {
public:
    WindowWatch() : hook_(::SetWindowsHookExW(WH_CBT, &Hook, nullptr, ::GetCurrentThreadId())) { created_ = 0; }
    ~WindowWatch() { ::UnhookWindowsHookEx(hook_); }
    bool Hooked() const { return hook_ != nullptr; }
    int Created() const { return created_; }

private:
    static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam) {
        if (code == HCBT_CREATEWND) ++created_;
        return ::CallNextHookEx(nullptr, code, wParam, lParam);
    }
    static inline int created_ = 0;
    HHOOK hook_;
};

// The report's two forms, checked against each other; the parsed JSON.
strict_json::Value BothForms(const report::Report& report) {
    const std::string json = report::FormatJson(report);
    std::string error;
    auto parsed = strict_json::Parse(json, &error);
    EXPECT_TRUE(parsed) << error;
    if (!parsed) return {};
    const std::string text = report::FormatText(report);
    EXPECT_TRUE(strict_json::IsValidUtf8(text));
    EXPECT_EQ(report_forms::CompareTextWithJson(text, *parsed), "");
    return *parsed;
}

class ReportCollect : public ::testing::Test {
protected:
    void SetUp() override { hostsBefore = ReadFile(kHosts); }
    void TearDown() override { WriteFile(kHosts, hostsBefore); }

    test::ScopedKeys machine{HKEY_LOCAL_MACHINE, {kHijack, kHelper, kEntries + L"\\000000000901",
                                                  kEntries + L"\\000000000902", kEntries + L"\\000000000903",
                                                  std::wstring(kFirewallListKeys[0])}};
    test::ScopedKeys classes{HKEY_CLASSES_ROOT, {kClassKey, L"txtfile\\shell\\open\\command"}};
    std::string hostsBefore;
};

TEST_F(ReportCollect, HostileTextsGiveValidReportsThatAgree) {
    // Lone surrogates, controls and no terminator, in values of the wrong type.
    const wchar_t debugger[] = {0xD800, L'a', 0x0001, L'\r', L'\n', 0xDC00, 0x007F, 0x2028};
    ASSERT_EQ(test::SetBinary(HKEY_LOCAL_MACHINE, kHijack, L"Debugger", debugger, sizeof(debugger)), 0);
    std::vector<wchar_t> command(260, 0xDBFF);  // fills the whole buffer, no terminator
    command[1] = L'\n';
    ASSERT_EQ(test::SetBinary(HKEY_CLASSES_ROOT, L"txtfile\\shell\\open\\command", nullptr, command.data(),
                              static_cast<DWORD>(command.size() * 2), REG_BINARY), 0);
    ASSERT_EQ(test::SetString(HKEY_CLASSES_ROOT, kClassKey, nullptr, std::wstring(L"name\r\n\x1b[31m") + wchar_t(0xDFFF)), 0);
    ASSERT_EQ(test::SetDword(HKEY_CLASSES_ROOT, kClassKey + L"\\InprocServer32", nullptr, 0x0A0D0A0D), 0);
    ASSERT_EQ(test::CreateKey(HKEY_LOCAL_MACHINE, kHelper), 0);
    const BYTE firewall[] = {'a', 0, ':', 0, 0x00, 0xD8, ':', 0, '\n', 0, ':', 0, 'z'};  // odd length
    ASSERT_EQ(test::SetBinary(HKEY_LOCAL_MACHINE, kFirewallListKeys[0], L"odd\x7f", firewall, sizeof(firewall)), 0);
    std::mt19937 random(24);
    std::vector<BYTE> packed(kCatalogItemSize);
    for (BYTE& b : packed) b = static_cast<BYTE>(random());
    ASSERT_EQ(test::SetBinary(HKEY_LOCAL_MACHINE, kEntries + L"\\000000000901", L"PackedCatalogItem", packed.data(),
                              static_cast<DWORD>(packed.size())), 0);

    // 2 MB of random bytes in the HOSTS file: once as they come (a NUL soon ends the text), once
    // without a NUL, so that all of it is lines.
    for (const bool withNul : {true, false}) {
        SCOPED_TRACE(withNul ? "random bytes" : "random bytes without NUL");
        std::string hosts(2 * 1024 * 1024, '\0');
        for (char& c : hosts) {
            c = static_cast<char>(random());
            if (!withNul && c == '\0') c = '\n';
        }
        ASSERT_TRUE(WriteFile(kHosts, hosts));

        bool found = false;
        WindowWatch watch;
        ASSERT_TRUE(watch.Hooked());
        const report::Report report = report::CollectReport(found);
        EXPECT_EQ(watch.Created(), 0);
        EXPECT_TRUE(found);  // the hijack
        const strict_json::Value json = BothForms(report);
        EXPECT_EQ(ReadFile(kHosts), hosts);

        const strict_json::Value* hijack = nullptr;
        for (const auto& entry : json.Get("imageHijacks")->Get("entries")->items) {
            if (entry.Get("image")->text == "hostile\x01\x1b") hijack = &entry;
        }
        ASSERT_NE(hijack, nullptr);
        EXPECT_EQ(hijack->Get("debugger")->text, Utf8(std::wstring(debugger, std::size(debugger))));
        const auto* hostsSection = json.Get("hosts");
        EXPECT_EQ(hostsSection->Get("size")->text, std::to_string(hosts.size()));
        EXPECT_EQ(hostsSection->Get("endsAtNul")->boolean, withNul);
        if (!withNul) {
            EXPECT_GT(hostsSection->Get("entries")->items.size(), 1000u);
        }
    }
}

TEST_F(ReportCollect, MissingHostsFileIsReportedAndNotCreated) {
    ASSERT_TRUE(::DeleteFileW(kHosts.c_str()));
    bool found = false;
    const strict_json::Value json = BothForms(report::CollectReport(found));
    EXPECT_EQ(::GetFileAttributesW(kHosts.c_str()), INVALID_FILE_ATTRIBUTES);
    const auto* hosts = json.Get("hosts");
    EXPECT_FALSE(hosts->Get("exists")->boolean);
    EXPECT_EQ(hosts->Get("size")->text, "0");
    EXPECT_EQ(hosts->Get("error"), nullptr);
    EXPECT_TRUE(hosts->Get("entries")->items.empty());
}

TEST_F(ReportCollect, HostsAsShippedIsTheDefault) {
    const char kDefault[] = "# Copyright (c) 1993-1999 Microsoft Corp.";
    ASSERT_TRUE(WriteFile(kHosts, kDefault));
    bool found = false;
    EXPECT_FALSE(BothForms(report::CollectReport(found)).Get("hosts")->Get("default")->boolean);
    // The resource's bytes, as "恢复默认" writes them.
    HRSRC info = ::FindResourceW(nullptr, MAKEINTRESOURCEW(140), L"HOST");
    ASSERT_NE(info, nullptr);
    const std::string defaults(static_cast<const char*>(::LockResource(::LoadResource(nullptr, info))),
                               ::SizeofResource(nullptr, info));
    ASSERT_TRUE(WriteFile(kHosts, defaults));
    const strict_json::Value json = BothForms(report::CollectReport(found));
    EXPECT_TRUE(json.Get("hosts")->Get("default")->boolean);
    EXPECT_TRUE(json.Get("hosts")->Get("exists")->boolean);
}

TEST_F(ReportCollect, ProvidersShowWhetherAndByWhomTheyAreSigned) {
    const std::wstring trust = test::UnixPathToWindows(test::Env(L"LARKSPUR_TEST_BIN_DIR")) + L"\\trust\\";
    const auto ansi = [](const std::wstring& path) { return std::string(path.begin(), path.end()); };
    ASSERT_EQ(test::SetBinary(HKEY_LOCAL_MACHINE, kEntries + L"\\000000000901", L"PackedCatalogItem",
                              CatalogItem(ansi(trust + L"signed.exe"), L"Signed [TCP/IP]").data(), kCatalogItemSize), 0);
    ASSERT_EQ(test::SetBinary(HKEY_LOCAL_MACHINE, kEntries + L"\\000000000902", L"PackedCatalogItem",
                              CatalogItem(ansi(trust + L"unsigned.exe"), L"Unsigned [TCP/IP]").data(), kCatalogItemSize),
              0);
    ASSERT_EQ(test::SetBinary(HKEY_LOCAL_MACHINE, kEntries + L"\\000000000903", L"PackedCatalogItem",
                              CatalogItem(ansi(trust + L"signed.exe"), L"Signed [UDP/IP]").data(), kCatalogItemSize), 0);

    const auto signatures = [] {
        bool found = false;
        std::vector<std::pair<std::string, std::string>> rows;
        const strict_json::Value json = BothForms(report::CollectReport(found));
        for (const auto& entry : json.Get("winsock")->Get("entries")->items) {
            rows.emplace_back(entry.Get("protocol")->text,
                              entry.Get("signature")->text + "/" + entry.Get("signer")->text);
        }
        return rows;
    };
    using Rows = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(signatures(), (Rows{{"Signed [TCP/IP]", "无法验证/"},
                                  {"Unsigned [TCP/IP]", "无法验证/"},
                                  {"Signed [UDP/IP]", "无法验证/"}}));
    ASSERT_EQ(LoadTrustLibrary(), kTrustOk);
    EXPECT_EQ(signatures(), (Rows{{"Signed [TCP/IP]", "签名正确/Larkspur Code Signer"},
                                  {"Unsigned [TCP/IP]", "无签名或签名无效/"},
                                  {"Signed [UDP/IP]", "签名正确/Larkspur Code Signer"}}));
    UnloadTrustLibrary();
}

TEST_F(ReportCollect, FormatFollowsTheExtensionAndTheFileIsReplacedWhole) {
    const struct {
        const wchar_t* path;
        report::ReportFormat format;
    } cases[] = {
        {L"a.json", report::ReportFormat::Json}, {L"C:\\x\\A.JSON", report::ReportFormat::Json},
        {L"a.txt", report::ReportFormat::Text},  {L"a.json.txt", report::ReportFormat::Text},
        {L"json", report::ReportFormat::Text},   {L"a.jsonl", report::ReportFormat::Text},
    };
    for (const auto& c : cases) EXPECT_EQ(report::FormatOfPath(c.path), c.format) << c.path;

    const std::wstring path = test::TempPath(L"replaced.txt");
    ASSERT_TRUE(WriteFile(path, std::string(5000, 'x')));
    EXPECT_EQ(report::WriteReportFile(path.c_str(), "short"), 0u);
    EXPECT_EQ(ReadFile(path), "short");
    EXPECT_EQ(report::WriteReportFile(L"", "x"), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    ::DeleteFileW(path.c_str());
}

}  // namespace
