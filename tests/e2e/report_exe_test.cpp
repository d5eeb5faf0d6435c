// Larkspur.exe /report from outside on a clean machine: exit code 0 and sections without findings;
// wrong arguments and unwritable paths give exit code 2, one line on standard error and no file;
// and no window, checked by a global window hook (which does see the windows of a normal start).
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "../common/report_forms.h"
#include "../common/strict_json.h"
#include "remote_ui.h"
#include "repair/file_type.h"
#include "report_run.h"
#include "support/files.h"
#include "support/registry.h"
#include "support/ui.h"

namespace {

const std::wstring kSafeBoot = L"SYSTEM\\CurrentControlSet\\Control\\SafeBoot";

class ReportExe : public ::testing::Test {
protected:
    void SetUp() override {
        folder = test::TempPath(L"reports");
        ::CreateDirectoryW(folder.c_str(), nullptr);
        for (const std::wstring& name : test::FolderEntries(folder)) ::DeleteFileW((folder + L"\\" + name).c_str());
        ASSERT_TRUE(windows.Installed());
    }
    // A machine on which the fast check finds nothing: every association as installed, Safe Mode
    // lists in place (the test prefix lacks both).
    void MakeClean() {
        for (const auto& entry : FileAssociationTable) {
            ASSERT_EQ(test::SetString(HKEY_CLASSES_ROOT, entry.commandKey, nullptr, entry.command, REG_EXPAND_SZ), 0);
        }
        ASSERT_EQ(test::CreateKey(HKEY_LOCAL_MACHINE, kSafeBoot + L"\\Minimal\\Base"), 0);
        ASSERT_EQ(test::CreateKey(HKEY_LOCAL_MACHINE, kSafeBoot + L"\\Network\\Base"), 0);
    }
    // Exit code 2, one line on standard error that says this, and no file in the folder.
    void ExpectRefused(const report_run::Run& run, const std::string& says) {
        EXPECT_EQ(run.exitCode, 2);
        const std::string& line = run.standardError;
        EXPECT_EQ(line.rfind("Larkspur: ", 0), 0u) << line;
        EXPECT_NE(line.find(says), std::string::npos) << line;
        ASSERT_GE(line.size(), 2u);
        EXPECT_EQ(line.substr(line.size() - 2), "\r\n") << line;
        EXPECT_EQ(line.find('\n'), line.size() - 1) << "one line: " << line;
        EXPECT_TRUE(test::FolderEntries(folder).empty());
        EXPECT_FALSE(windows.Created(run.processId));
    }

    test::ScopedKeys safeBoot{HKEY_LOCAL_MACHINE, {kSafeBoot}};
    report_run::WindowWatch windows;
    std::wstring folder;
};

TEST_F(ReportExe, CleanMachineGivesZeroAndSectionsWithoutFindings) {
    MakeClean();
    const std::wstring json = folder + L"\\clean.JSON";  // the extension in any case
    const report_run::Run run = report_run::RunLarkspur(L"/REPORT \"" + json + L"\"");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_FALSE(windows.Created(run.processId));
    std::string error;
    const auto report = strict_json::Parse(report_run::ReadBytes(json), &error);
    ASSERT_TRUE(report) << error;
    EXPECT_FALSE(report->Get("found")->boolean);
    EXPECT_FALSE(report->Get("fastCheck")->Get("found")->boolean);
    const char* results[] = {"未发现异常", "未发现异常", "未发现异常", "", "未发现异常"};
    const auto& rows = report->Get("fastCheck")->Get("entries")->items;
    ASSERT_EQ(rows.size(), 5u);
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].Get("result")->text, results[i]) << i;
        EXPECT_EQ(rows[i].Get("checked")->text, i == 3 ? "未检测" : "已检测") << i;
    }
    EXPECT_TRUE(report->Get("imageHijacks")->Get("entries")->items.empty());
    for (const auto& entry : report->Get("fileAssociations")->Get("entries")->items) {
        EXPECT_EQ(entry.Get("state")->text, "正确");
    }
    // Only the report itself is left in the folder.
    EXPECT_EQ(test::FolderEntries(folder), std::vector<std::wstring>{L"clean.JSON"});

    const std::wstring text = folder + L"\\clean.log";
    EXPECT_EQ(report_run::RunLarkspur(L"/report \"" + text + L"\"").exitCode, 0);
    const std::string bytes = report_run::ReadBytes(text);
    EXPECT_EQ(bytes.substr(0, 3), "\xEF\xBB\xBF");
    // A second report agrees with the first in everything but, perhaps, the time.
    const auto first = strict_json::Parse(report_run::ReadBytes(json));
    ASSERT_TRUE(first);
    const std::string difference = report_forms::CompareTextWithJson(bytes, *first);
    EXPECT_TRUE(difference.empty() || difference.rfind("time:", 0) == 0) << difference;
}

TEST_F(ReportExe, WrongArgumentsGiveTwoAndSaySoOnStandardError) {
    const std::wstring path = folder + L"\\r.txt";
    const struct {
        std::wstring arguments;
        const char* says;
    } cases[] = {
        {L"/report", "missing argument: /report"},
        {L"-Report", "missing argument: -Report"},
        {L"/report \"\"", "missing argument"},
        {L"/bogus", "unknown switch: /bogus"},
        {L"/bogus \"" + path + L"\"", "unknown switch: /bogus"},
        {L"\"" + path + L"\"", "unexpected argument: C:"},
        {L"/report \"" + path + L"\" extra", "unexpected argument: extra"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.arguments.begin(), c.arguments.end()));
        ExpectRefused(report_run::RunLarkspur(c.arguments), c.says);
    }
}

TEST_F(ReportExe, UnwritablePathsGiveTwoAndLeaveNothingBehind) {
    ExpectRefused(report_run::RunLarkspur(L"/report \"" + folder + L"\\missing\\r.txt\""),
                  "cannot write the report to ");
    // A folder where the file should be: the temporary file beside it goes again.
    const std::wstring taken = folder + L"\\taken";
    ASSERT_TRUE(::CreateDirectoryW(taken.c_str(), nullptr));
    const report_run::Run onFolder = report_run::RunLarkspur(L"/report \"" + taken + L"\"");
    EXPECT_EQ(onFolder.exitCode, 2);
    EXPECT_FALSE(windows.Created(onFolder.processId));
    EXPECT_EQ(test::FolderEntries(folder), std::vector<std::wstring>{L"taken"});
    EXPECT_TRUE(test::FolderEntries(taken).empty());
    ::RemoveDirectoryW(taken.c_str());

    // A report that cannot replace the file there leaves that file as it was.
    const std::wstring held = folder + L"\\held.txt";
    {
        lark::UniqueFile file(::CreateFileW(held.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                            CREATE_ALWAYS, 0, nullptr));
        ASSERT_TRUE(file);
        DWORD written = 0;
        ASSERT_TRUE(::WriteFile(file.get(), "old", 3, &written, nullptr));
        const report_run::Run run = report_run::RunLarkspur(L"/report \"" + held + L"\"");
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_NE(run.standardError.find("cannot write the report to "), std::string::npos) << run.standardError;
    }
    EXPECT_EQ(report_run::ReadBytes(held), "old");
    EXPECT_EQ(test::FolderEntries(folder), std::vector<std::wstring>{L"held.txt"});
    ::DeleteFileW(held.c_str());
}

// The watch that sees no window of a report does see the windows of a normal start.
TEST_F(ReportExe, TheWindowWatchSeesTheWindowsOfANormalStart) {
    const report_run::Run run = report_run::RunLarkspur(L"", [](const PROCESS_INFORMATION& info) {
        HWND notice =
            remote::WaitForWindow(info.dwProcessId, [](HWND w) { return remote::HasChildWithText(w, L"说  明"); }, 30000);
        if (notice) ::PostMessageW(notice, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    });
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(windows.Created(run.processId));
}

}  // namespace
