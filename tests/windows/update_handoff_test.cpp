// The update hand-off with a stand-in updater. Each case copies this test under a chosen name into
// a folder of its own, with or without the stand-in as Tolvane.exe beside it, and runs the copy in
// "page" mode: it creates the real fast-check page (whose initialisation starts the hand-off),
// watches it and writes what it saw to a report that the case then checks.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <map>
#include <string>
#include <vector>

#include "app/fast_check_host.h"
#include "app/update_handoff.h"
#include "framework/handles.h"
#include "framework/process.h"
#include "pages/fast_check_dialog.h"
#include "resource.h"
#include "support/process_recorder.h"
#include "support/scripted_prompts.h"
#include "support/ui.h"

namespace {

const std::wstring kAboutPlain = L"关  于";
const std::wstring kAboutNotice = L"\u3000关\u3000于\u3000";
const std::wstring kProductPage = std::wstring(L"http:\\\\") + LARKSPUR_PRODUCT_HOST + L"\\K00000031";

std::wstring ReadWide(const std::wstring& path) {
    lark::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, 0, nullptr));
    if (!file) return {};
    std::wstring text(::GetFileSize(file.get(), nullptr) / sizeof(wchar_t), L'\0');
    DWORD read = 0;
    ::ReadFile(file.get(), text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &read, nullptr);
    text.resize(read / sizeof(wchar_t));
    return text;
}

void WriteWide(const std::wstring& path, const std::wstring& text) {
    lark::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    if (file) ::WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &written, nullptr);
}

std::vector<std::wstring> Lines(const std::wstring& text) {
    std::vector<std::wstring> lines;
    size_t start = 0;
    for (size_t end; (end = text.find(L'\n', start)) != std::wstring::npos; start = end + 1) {
        lines.push_back(text.substr(start, end - start));
    }
    return lines;
}

std::wstring ThisProgram() {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

std::wstring StandIn() {
    return test::UnixPathToWindows(test::Env(L"LARKSPUR_TEST_BIN_DIR")) + L"\\update_standin.exe";
}

// Starts a program with extra environment variables and a current folder; returns the process.
lark::UniqueHandle Launch(const std::wstring& commandLine, const std::map<std::wstring, std::wstring>& environment,
                          const std::wstring& currentFolder = {}) {
    for (const auto& [name, value] : environment) ::SetEnvironmentVariableW(name.c_str(), value.c_str());
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    const BOOL started = ::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                          currentFolder.empty() ? nullptr : currentFolder.c_str(), &startup, &info);
    for (const auto& entry : environment) ::SetEnvironmentVariableW(entry.first.c_str(), nullptr);
    if (!started) return {};
    lark::UniqueHandle thread(info.hThread);
    return lark::UniqueHandle(info.hProcess);
}

int WaitFor(const lark::UniqueHandle& process, DWORD timeoutMs) {
    if (!process || ::WaitForSingleObject(process.get(), timeoutMs) != WAIT_OBJECT_0) {
        if (process) ::TerminateProcess(process.get(), 255);
        return -1;
    }
    DWORD code = 0;
    ::GetExitCodeProcess(process.get(), &code);
    return static_cast<int>(code);
}

// ---- page mode: runs inside the copied program ------------------------------------------------

// Records the starts and keeps a handle of the updater's process, to see when it has ended.
class WatchingRecorder : public test::ProcessRecorder {
public:
    WatchingRecorder() : ProcessRecorder(/*passThrough=*/true) {}
    bool Start(const lark::process::StartRequest& request, lark::UniqueHandle& process) override {
        if (test::Env(L"HANDOFF_REFUSE_START") == L"1") {
            startSucceeds = passThrough = false;
            const bool started = ProcessRecorder::Start(request, process);
            refused_ = true;
            return started;
        }
        const bool started = ProcessRecorder::Start(request, process);
        HANDLE copy = nullptr;
        if (started && process &&
            ::DuplicateHandle(::GetCurrentProcess(), process.get(), ::GetCurrentProcess(), &copy, SYNCHRONIZE, FALSE, 0)) {
            updater_.store(copy);
        }
        return started;
    }
    bool Refused() const { return refused_.load(); }
    bool UpdaterEnded() const {
        HANDLE updater = updater_.load();
        return updater && ::WaitForSingleObject(updater, 0) == WAIT_OBJECT_0;
    }
    ~WatchingRecorder() override {
        if (HANDLE updater = updater_.load()) ::CloseHandle(updater);
    }

private:
    std::atomic<HANDLE> updater_{nullptr};
    std::atomic<bool> refused_{false};
};

TEST(HandOffPage, Watch) {
    const std::wstring reportPath = test::Env(L"HANDOFF_REPORT");
    if (reportPath.empty()) GTEST_SKIP() << "runs only inside a copy started by the cases below";

    WatchingRecorder recorder;
    test::ScriptedPrompts prompts;
    test::PageHost host;
    CFastCheckDialog page{&ProgramFastCheckHost()};
    ASSERT_TRUE(host.Create(page, IDD_FASTCHECK));
    HWND about = page.GetDlgItem(IDC_ABOUT);
    const std::wstring aboutAtStart = test::WindowText(about);

    // Until the updater has run (or for a while when there is none beside us), then a few ticks more.
    const bool updaterBeside =
        ::GetFileAttributesW((lark::process::ProgramDirectory() + L"Tolvane.exe").c_str()) != INVALID_FILE_ATTRIBUTES;
    test::PumpUntil([&] { return recorder.UpdaterEnded() || recorder.Refused(); }, updaterBeside ? 20000 : 1000);
    DWORD flagSeen = 0, noticeSeen = 0;
    int toggles = 0, lastPhase = page.AboutPhase();
    const DWORD start = ::GetTickCount();
    while (::GetTickCount() - start < 2500) {
        test::PumpMessages();
        if (!flagSeen && page.UpdateFlag() == 1) flagSeen = ::GetTickCount();
        if (!noticeSeen && test::WindowText(about) == kAboutNotice) noticeSeen = ::GetTickCount();
        if (page.AboutPhase() != lastPhase) {
            ++toggles;
            lastPhase = page.AboutPhase();
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }

    std::wstring report;
    auto put = [&](const wchar_t* key, const std::wstring& value) { report += key + (L"=" + value) + L"\n"; };
    const auto starts = recorder.Starts();
    const auto shells = recorder.ShellCalls();
    put(L"starts", std::to_wstring(starts.size()));
    for (const auto& s : starts) {
        put(L"start.application", s.application);
        put(L"start.commandLine", s.commandLine);
        put(L"start.show", std::to_wstring(s.showCommand));
        put(L"start.rights", s.rights == lark::process::Rights::DesktopUser ? L"desktop user" : L"caller");
    }
    put(L"shells", std::to_wstring(shells.size()));
    for (const auto& s : shells) {
        put(L"shell.verb", s.verb);
        put(L"shell.file", s.file);
        put(L"shell.parameters", s.parameters);
        put(L"shell.directory", s.directory);
        put(L"shell.show", std::to_wstring(s.showCommand));
    }
    put(L"exitCode", std::to_wstring(UpdaterExitCode()));
    put(L"flag", std::to_wstring(page.UpdateFlag()));
    put(L"aboutAtStart", aboutAtStart);
    put(L"aboutAtEnd", test::WindowText(about));
    put(L"noticeDelay", noticeSeen ? std::to_wstring(noticeSeen - flagSeen) : L"none");
    put(L"toggles", std::to_wstring(toggles));
    WriteWide(reportPath, report);
}

// ---- the cases -------------------------------------------------------------------------------

using Report = std::map<std::wstring, std::wstring>;

struct CaseRun {
    Report report;
    std::vector<std::wstring> updaterCommandLines;  // as the stand-in saw them
    std::vector<std::wstring> updaterTokens;        // what the stand-in's token held
    size_t browserOpens = 0;
};

struct Case {
    std::wstring programName = L"Larkspur.exe";
    bool updaterBeside = true;
    bool updaterInCurrentFolder = false;
    std::wstring exitCode = L"0";
    bool refuseStart = false;  // the seam fails the start, as when no desktop user's rights can be had
};

// Copies this test as the program into a fresh folder (short, so that long names still fit the
// module path), places the stand-in as asked and runs the copy in page mode.
CaseRun RunCase(const std::wstring& folderName, const Case& c) {
    const std::wstring folder = L"C:\\ho\\" + folderName + L"\\";
    const std::wstring cwd = folder + L"cwd\\";
    ::CreateDirectoryW(L"C:\\ho", nullptr);
    ::CreateDirectoryW(folder.c_str(), nullptr);
    ::CreateDirectoryW(cwd.c_str(), nullptr);
    CaseRun run;
    const std::wstring program = folder + c.programName;
    if (!::CopyFileW(ThisProgram().c_str(), program.c_str(), FALSE)) {
        ADD_FAILURE() << "cannot copy the test to " << testing::PrintToString(program) << ": " << ::GetLastError();
        return run;
    }
    if (c.updaterBeside) {
        EXPECT_TRUE(::CopyFileW(StandIn().c_str(), (folder + L"Tolvane.exe").c_str(), FALSE));
    }
    if (c.updaterInCurrentFolder) {
        EXPECT_TRUE(::CopyFileW(StandIn().c_str(), (cwd + L"Tolvane.exe").c_str(), FALSE));
    }

    const std::wstring report = folder + L"report.txt", updaterLog = folder + L"updater.log";
    const std::wstring tokenLog = folder + L"token.log";
    const size_t opensBefore = test::BrowserOpens();
    lark::UniqueHandle process = Launch(L"\"" + program + L"\" --gtest_brief=1 --gtest_filter=HandOffPage.*",
                                        {{L"HANDOFF_REPORT", report}, {L"HANDOFF_LOG", updaterLog},
                                         {L"HANDOFF_TOKEN_LOG", tokenLog}, {L"HANDOFF_EXIT", c.exitCode},
                                         {L"HANDOFF_REFUSE_START", c.refuseStart ? L"1" : L""}},
                                        cwd);
    EXPECT_EQ(WaitFor(process, 60000), 0) << "page mode failed";
    if (c.exitCode == L"101") test::PumpUntil([&] { return test::BrowserOpens() > opensBefore; }, 10000);
    run.browserOpens = test::BrowserOpens() - opensBefore;
    for (const auto& line : Lines(ReadWide(report))) {
        const size_t equals = line.find(L'=');
        if (equals != std::wstring::npos) run.report[line.substr(0, equals)] += line.substr(equals + 1);
    }
    run.updaterCommandLines = Lines(ReadWide(updaterLog));
    run.updaterTokens = Lines(ReadWide(tokenLog));
    return run;
}

std::wstring Name(size_t length, const wchar_t* extension) {
    return std::wstring(length - wcslen(extension), L'n') + extension;
}

TEST(UpdateHandOff, ExitCodesDecideBetweenNoticePageAndNothing) {
    struct Expect {
        const wchar_t* exitCode;
        bool notice;
        bool page;
    } const cases[] = {{L"100", true, false}, {L"101", false, true}, {L"0", false, false}, {L"7", false, false},
                       {L"102", false, false}};
    for (const auto& e : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(e.exitCode)));
        Case c;
        c.exitCode = e.exitCode;
        CaseRun run = RunCase(std::wstring(L"code") + e.exitCode, c);
        Report& r = run.report;
        ASSERT_EQ(r[L"starts"], L"1");
        EXPECT_EQ(r[L"start.application"], L"C:\\ho\\code" + std::wstring(e.exitCode) + L"\\Tolvane.exe");
        EXPECT_EQ(r[L"start.commandLine"], L"Tolvane.exe K00000031 v1.6 \"Larkspur.exe\"");
        EXPECT_EQ(r[L"start.show"], L"-1");  // start-up information left at its defaults
        EXPECT_EQ(r[L"start.rights"], L"desktop user");
        ASSERT_EQ(run.updaterCommandLines.size(), 1u);
        EXPECT_EQ(run.updaterCommandLines[0], L"Tolvane.exe K00000031 v1.6 \"Larkspur.exe\"");
        EXPECT_EQ(r[L"exitCode"], e.exitCode);
        EXPECT_EQ(r[L"aboutAtStart"], kAboutPlain);
        if (e.notice) {
            EXPECT_EQ(r[L"flag"], L"1");
            // Timer 1 runs every 500 ms: the first tick shows the text, the next the frames.
            ASSERT_NE(r[L"noticeDelay"], L"none");
            EXPECT_GE(std::stoi(r[L"noticeDelay"]), 300);
            EXPECT_LT(std::stoi(r[L"noticeDelay"]), 2000);
            EXPECT_GE(std::stoi(r[L"toggles"]), 2);
        } else {
            EXPECT_EQ(r[L"flag"], L"0");
            EXPECT_EQ(r[L"noticeDelay"], L"none");
            EXPECT_EQ(r[L"toggles"], L"0");
            EXPECT_EQ(r[L"aboutAtEnd"], kAboutPlain);
        }
        if (e.page) {
            // Asked of the desktop's shell, not started by us.
            ASSERT_EQ(r[L"shells"], L"1");
            EXPECT_EQ(r[L"starts"], L"1");
            EXPECT_EQ(r[L"shell.verb"], L"open");
            EXPECT_EQ(r[L"shell.file"], kProductPage);
            EXPECT_EQ(r[L"shell.parameters"], L"");
            EXPECT_EQ(r[L"shell.directory"], L"");
            EXPECT_EQ(r[L"shell.show"], L"5");
            EXPECT_EQ(run.browserOpens, 1u);  // reached the system's browser, once
        } else {
            EXPECT_EQ(r[L"shells"], L"0");
            EXPECT_EQ(run.browserOpens, 0u);
        }
    }
}

TEST(UpdateHandOff, PassesTheProgramsOwnFileNameLastQuoted) {
    // 27 characters of fixed text and two quotes leave 230 for the name and extension in the
    // 260-character line.
    struct Expect {
        const wchar_t* folder;
        std::wstring name;
        bool started;
    } const cases[] = {
        {L"renamed", L"Repair2.EXE", true},
        {L"second", L"Larkspur (1).exe", true},  // as a browser names a second download
        {L"fits", Name(230, L".exe"), true},
        {L"toolong", Name(231, L".exe"), false},
    };
    for (const auto& e : cases) {
        SCOPED_TRACE(testing::PrintToString(e.name));
        Case c;
        c.programName = e.name;
        CaseRun run = RunCase(e.folder, c);
        if (!e.started) {
            EXPECT_EQ(run.report[L"starts"], L"0");
            EXPECT_TRUE(run.updaterCommandLines.empty());
            continue;
        }
        ASSERT_EQ(run.updaterCommandLines.size(), 1u);
        EXPECT_EQ(run.updaterCommandLines[0], L"Tolvane.exe K00000031 v1.6 \"" + e.name + L"\"");
        EXPECT_EQ(run.report[L"start.commandLine"], L"Tolvane.exe K00000031 v1.6 \"" + e.name + L"\"");
    }
}

// The updater runs with the desktop user's rights. Wine has no desktop shell process to take a
// token from, so the restricted copy of ours is what it gets: the administrators group for deny
// only. Wine keeps the privileges and the integrity level of a restricted token as they were, so
// only the group shows here.
TEST(UpdateHandOff, RunsTheUpdaterWithoutTheAdministratorsGroup) {
    CaseRun run = RunCase(L"token", Case{});
    ASSERT_EQ(run.updaterTokens.size(), 1u);
    EXPECT_EQ(run.updaterTokens[0].substr(0, run.updaterTokens[0].find(L" integrity")),
              L"administrators=deny-only member=0");
    // The control: this test itself runs with the group enabled.
    BOOL member = FALSE;
    BYTE administrators[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof(administrators);
    ASSERT_TRUE(::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &size));
    ASSERT_TRUE(::CheckTokenMembership(nullptr, administrators, &member));
    EXPECT_TRUE(member);
}

// When no rights but ours can be had the start fails: the updater does not run and the program
// goes on as when the update server cannot be reached.
TEST(UpdateHandOff, NoDesktopUsersRightsNoUpdater) {
    Case c;
    c.refuseStart = true;
    c.exitCode = L"100";  // what the updater would have said
    CaseRun run = RunCase(L"refused", c);
    Report& r = run.report;
    ASSERT_EQ(r[L"starts"], L"1");
    EXPECT_EQ(r[L"start.rights"], L"desktop user");
    EXPECT_TRUE(run.updaterCommandLines.empty());
    EXPECT_EQ(r[L"exitCode"], L"0");
    EXPECT_EQ(r[L"flag"], L"0");
    EXPECT_EQ(r[L"shells"], L"0");
    EXPECT_EQ(run.browserOpens, 0u);
}

TEST(UpdateHandOff, RunsOnlyAnUpdaterBesideTheProgram) {
    struct Expect {
        const wchar_t* folder;
        bool inCurrentFolder;
    } const cases[] = {{L"none", false}, {L"planted", true}};
    for (const auto& e : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(e.folder)));
        Case c;
        c.updaterBeside = false;
        c.updaterInCurrentFolder = e.inCurrentFolder;
        c.exitCode = L"100";
        CaseRun run = RunCase(e.folder, c);
        EXPECT_EQ(run.report[L"starts"], L"0");
        EXPECT_TRUE(run.updaterCommandLines.empty()) << "an updater outside the program's folder ran";
        EXPECT_EQ(run.report[L"exitCode"], L"0");
        EXPECT_EQ(run.report[L"flag"], L"0");
        EXPECT_EQ(run.report[L"aboutAtEnd"], kAboutPlain);
        EXPECT_EQ(run.report[L"shells"], L"0");
    }
}

}  // namespace
