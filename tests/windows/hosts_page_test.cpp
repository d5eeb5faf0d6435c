// The HOSTS page against the prefix's real HOSTS file: reading, saving, back-up, restore default.
#include <gtest/gtest.h>

#include <windows.h>
#include <commdlg.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "framework/handles.h"
#include "pages/host_dialog.h"
#include "repair/host.h"
#include "resource.h"
#include "support/scripted_prompts.h"
#include "support/ui.h"

namespace {

std::wstring HostsPath() {
    wchar_t path[MAX_PATH] = {};
    EXPECT_EQ(BuildHostsPath(path), 0u);
    return path;
}

std::optional<std::string> ReadBytes(const std::wstring& path) {
    lark::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, 0, nullptr));
    if (!file) return std::nullopt;
    std::string bytes(::GetFileSize(file.get(), nullptr), '\0');
    DWORD read = 0;
    if (!bytes.empty() && !::ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr)) {
        return std::nullopt;
    }
    bytes.resize(read);
    return bytes;
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
    lark::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    ASSERT_TRUE(file);
    DWORD written = 0;
    ASSERT_TRUE(::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
    ASSERT_EQ(written, bytes.size());
}

std::string DefaultText() {
    HRSRC resource = ::FindResourceW(nullptr, MAKEINTRESOURCEW(IDR_HOST), L"HOST");
    if (!resource) return {};
    const void* bytes = ::LockResource(::LoadResource(nullptr, resource));
    return std::string(static_cast<const char*>(bytes), ::SizeofResource(nullptr, resource));
}

std::wstring Widen(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

// Files other than the HOSTS file in its folder (left-over temporaries would show here).
std::vector<std::wstring> OtherFilesBesideHosts() {
    std::wstring folder = HostsPath();
    folder.resize(folder.rfind(L'\\'));
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found{};
    lark::UniqueFindHandle search(::FindFirstFileW((folder + L"\\*").c_str(), &found));
    if (!search) return names;
    do {
        const std::wstring name = found.cFileName;
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && lstrcmpiW(name.c_str(), L"hosts") != 0) {
            names.push_back(name);
        }
    } while (::FindNextFileW(search.get(), &found));
    return names;
}

class HostsPage : public ::testing::Test {
protected:
    void SetUp() override { others_ = OtherFilesBesideHosts(); }
    void TearDown() override {
        if (IsSkipped()) return;
        EXPECT_EQ(OtherFilesBesideHosts(), others_) << "files left beside HOSTS";
    }

    void Open() { ASSERT_TRUE(host.Create(page, IDD_HOSTS)); }
    HWND Editor() { return page.GetDlgItem(IDC_HOSTS_EDIT); }
    std::wstring EditorText() { return lark::CWnd(Editor()).GetWindowText(); }
    bool SaveEnabled() { return ::IsWindowEnabled(page.GetDlgItem(IDC_HOSTS_SAVE)) != FALSE; }
    void Click(int id) {
        page.SendMessage(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(page.GetDlgItem(id)));
    }
    // Types at the end of the editor's text, as keystrokes do.
    void TypeAtEnd(const std::wstring& text) {
        const LRESULT length = ::SendMessageW(Editor(), WM_GETTEXTLENGTH, 0, 0);
        ::SendMessageW(Editor(), EM_SETSEL, length, length);
        for (wchar_t c : text) ::SendMessageW(Editor(), WM_CHAR, c, 0);
    }

    const std::wstring hosts = HostsPath();
    test::ScriptedPrompts prompts;
    test::PageHost host;
    CHostDialog page;

private:
    std::vector<std::wstring> others_;
};

TEST_F(HostsPage, MissingFileOpensEmptyIsCreatedAndBacksUpEmpty) {
    ::DeleteFileW(hosts.c_str());
    Open();
    EXPECT_EQ(EditorText(), L"");
    EXPECT_FALSE(SaveEnabled());
    EXPECT_EQ(ReadBytes(hosts), std::string());
    EXPECT_TRUE(prompts.Messages().empty());

    // The back-up overwrites what the chosen file held.
    const std::wstring backup = test::TempPath(L"hosts.bak");
    WriteBytes(backup, "older back-up");
    prompts.saveAsPaths = {backup};
    Click(IDC_HOSTS_BACKUP);
    ASSERT_EQ(prompts.requests.size(), 2u);
    const auto& saveAs = prompts.requests[0];
    EXPECT_EQ(saveAs.kind, lark::prompts::Request::Kind::SaveAs);
    EXPECT_EQ(saveAs.owner, page.m_hWnd);
    EXPECT_EQ(saveAs.text, L"hosts.bak");
    EXPECT_EQ(saveAs.caption, L"All Files (*.*)|*.*||");
    EXPECT_EQ(saveAs.flags, static_cast<UINT>(OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT));
    EXPECT_EQ(saveAs.defaultExtension, L"");
    EXPECT_EQ(prompts.requests[1].owner, page.m_hWnd);
    EXPECT_EQ(prompts.requests[1].flags, static_cast<UINT>(MB_OK));
    EXPECT_EQ(prompts.Messages(), std::vector<std::wstring>{L"备份成功|备份HOSTS文件成功"});
    EXPECT_EQ(ReadBytes(backup), std::string());
}

TEST_F(HostsPage, BackUpCancelledShowsNothingAndToAMissingFolderShowsTheError) {
    WriteBytes(hosts, "127.0.0.1 localhost\r\n");
    Open();
    prompts.saveAsPaths = {L"", test::TempPath(L"no-such-folder\\hosts.bak")};
    Click(IDC_HOSTS_BACKUP);
    EXPECT_TRUE(prompts.Messages().empty());
    Click(IDC_HOSTS_BACKUP);
    EXPECT_EQ(prompts.Messages(), std::vector<std::wstring>{L"备份出错|备份HOSTS文件出错"});
}

TEST_F(HostsPage, TextStopsAtTheFirstNulByteAndSavingWritesOnlyThat) {
    WriteBytes(hosts, std::string("127.0.0.1 a.example\r\n\0# after the NUL\r\n", 40));
    Open();
    EXPECT_EQ(EditorText(), L"127.0.0.1 a.example\r\n");
    Click(IDC_HOSTS_SAVE);
    EXPECT_EQ(prompts.Messages(), std::vector<std::wstring>{L"修改成功|修改HOSTS文件成功"});
    EXPECT_EQ(ReadBytes(hosts), "127.0.0.1 a.example\r\n");
}

TEST_F(HostsPage, LineEndsPassThroughUntouchedBothWays) {
    const std::string text = "# mixed\n127.0.0.1 a\r\n\r\n10.0.0.1 b\rlast";
    WriteBytes(hosts, text);
    Open();
    EXPECT_EQ(EditorText(), Widen(text));
    Click(IDC_HOSTS_SAVE);
    EXPECT_EQ(ReadBytes(hosts), text);
}

TEST_F(HostsPage, RestoreDefaultWritesTheResourceBytesOnlyAfterYes) {
    const std::string damaged = "127.0.0.1 www.security-updates.example\r\n";
    WriteBytes(hosts, damaged);
    Open();

    prompts.messageBoxAnswers = {IDNO};
    Click(IDC_HOSTS_DEFAULT);
    EXPECT_EQ(prompts.Messages(), std::vector<std::wstring>{L"提示|确定恢复默认？"});
    EXPECT_EQ(prompts.requests.back().flags, static_cast<UINT>(MB_YESNO));
    EXPECT_EQ(ReadBytes(hosts), damaged);
    EXPECT_EQ(EditorText(), Widen(damaged));

    prompts.requests.clear();
    prompts.messageBoxAnswers = {IDYES};
    Click(IDC_HOSTS_DEFAULT);
    EXPECT_EQ(prompts.Messages(), (std::vector<std::wstring>{L"提示|确定恢复默认？", L"恢复成功|恢复默认HOSTS文件成功"}));
    EXPECT_EQ(prompts.requests.back().flags, static_cast<UINT>(MB_OK));
    ASSERT_FALSE(DefaultText().empty());
    EXPECT_EQ(ReadBytes(hosts), DefaultText());
    EXPECT_EQ(EditorText(), Widen(DefaultText()));
}

TEST_F(HostsPage, SaveButtonFollowsEditsAndSavesOnly) {
    WriteBytes(hosts, "127.0.0.1 localhost\r\n");
    Open();
    lark::UniqueFile holder;
    struct Step {
        const char* what;
        std::function<void()> action;
        bool enabledAfter;
    } steps[] = {
        {"typing", [&] { TypeAtEnd(L"x"); }, true},
        {"refresh", [&] { Click(IDC_HOSTS_REFRESH); }, true},
        {"restore default", [&] { prompts.messageBoxAnswers = {IDYES}; Click(IDC_HOSTS_DEFAULT); }, true},
        {"save", [&] { Click(IDC_HOSTS_SAVE); }, false},
        {"refresh", [&] { Click(IDC_HOSTS_REFRESH); }, false},
        {"restore default", [&] { prompts.messageBoxAnswers = {IDYES}; Click(IDC_HOSTS_DEFAULT); }, false},
        {"typing", [&] { TypeAtEnd(L"y"); }, true},
        {"failed save", [&] {
             holder.reset(::CreateFileW(hosts.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
             Click(IDC_HOSTS_SAVE);
             holder.reset();
         }, false},
    };
    EXPECT_FALSE(SaveEnabled());
    for (const Step& step : steps) {
        step.action();
        EXPECT_EQ(SaveEnabled(), step.enabledAfter) << step.what;
    }
    EXPECT_EQ(prompts.Messages().back(), L"修改出错|修改HOSTS文件出错");
}

TEST_F(HostsPage, RefreshDiscardsEditsAndShowsTheFileAnew) {
    WriteBytes(hosts, "first\r\n");
    Open();
    TypeAtEnd(L"unsaved");
    WriteBytes(hosts, "second\r\n");
    Click(IDC_HOSTS_REFRESH);
    EXPECT_EQ(EditorText(), L"second\r\n");
    EXPECT_TRUE(prompts.Messages().empty());
}

// Another process holding the file without sharing: reading shows nothing and keeps the editor,
// saving and restoring report their error and leave the old content whole.
TEST_F(HostsPage, AFileHeldWithoutSharingStaysWhole) {
    const std::string old = "127.0.0.1 localhost\r\n10.0.0.1 intranet\r\n";
    WriteBytes(hosts, old);
    Open();
    TypeAtEnd(L"0.0.0.0 new.example\r\n");
    const std::wstring edited = EditorText();
    struct Case {
        int button;
        int answer;
        const wchar_t* message;
    } cases[] = {
        {IDC_HOSTS_REFRESH, 0, nullptr},
        {IDC_HOSTS_SAVE, 0, L"修改出错|修改HOSTS文件出错"},
        {IDC_HOSTS_DEFAULT, IDYES, L"恢复出错|恢复默认HOSTS文件出错"},
    };
    for (const Case& c : cases) {
        prompts.requests.clear();
        if (c.answer) prompts.messageBoxAnswers = {c.answer};
        {
            lark::UniqueFile holder(::CreateFileW(hosts.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
            ASSERT_TRUE(holder);
            Click(c.button);
        }
        const auto messages = prompts.Messages();
        if (c.message) {
            ASSERT_FALSE(messages.empty()) << c.button;
            EXPECT_EQ(messages.back(), c.message);
        } else {
            EXPECT_TRUE(messages.empty());
        }
        EXPECT_EQ(ReadBytes(hosts), old) << c.button;
        EXPECT_EQ(EditorText(), edited) << c.button;
    }
}

TEST_F(HostsPage, ABlockListOfSeveralMegabytesLoadsAndIsEditableAtItsEnd) {
    std::string list = "# block list\r\n127.0.0.1       localhost\r\n";
    char line[64];
    for (int i = 0; list.size() < 3 * 1024 * 1024; ++i) {
        list += std::string(line, wsprintfA(line, "0.0.0.0 ads%06d.tracker.example\r\n", i));
    }
    WriteBytes(hosts, list);
    Open();
    EXPECT_EQ(static_cast<size_t>(::SendMessageW(Editor(), WM_GETTEXTLENGTH, 0, 0)), list.size());
    TypeAtEnd(L"0.0.0.0 added.example\r");
    EXPECT_TRUE(SaveEnabled());
    Click(IDC_HOSTS_SAVE);
    EXPECT_EQ(prompts.Messages(), std::vector<std::wstring>{L"修改成功|修改HOSTS文件成功"});
    const auto saved = ReadBytes(hosts);
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->size(), list.size() + 23);
    EXPECT_TRUE(*saved == list + "0.0.0.0 added.example\r\n");
}

// OK and Cancel keep the dialog defaults: the page ends as a dialog, which hides it.
TEST_F(HostsPage, OkAndCancelEndThePageAsADialog) {
    WriteBytes(hosts, "127.0.0.1 localhost\r\n");
    Open();
    for (int command : {IDOK, IDCANCEL}) {
        page.ShowWindow(SW_SHOW);
        ASSERT_TRUE(page.IsWindowVisible());
        page.SendMessage(WM_COMMAND, MAKEWPARAM(command, BN_CLICKED), 0);
        EXPECT_FALSE(page.IsWindowVisible()) << command;
        EXPECT_TRUE(::IsWindow(page.m_hWnd)) << command;
    }
    EXPECT_EQ(ReadBytes(hosts), "127.0.0.1 localhost\r\n");
    EXPECT_TRUE(prompts.requests.empty());
}

TEST(HostsFile, RoutinesWorkWithoutAPageAndTheReaderNeedsASink) {
    const std::wstring hosts = HostsPath();
    ::DeleteFileW(hosts.c_str());
    EXPECT_EQ(ReadHostsFile({}), kNoSink);
    EXPECT_EQ(::GetFileAttributesW(hosts.c_str()), INVALID_FILE_ATTRIBUTES);

    EXPECT_EQ(WriteHostsFile(L"10.0.0.1 intranet\r\n", 19), 0u);
    std::vector<std::wstring> seen;
    EXPECT_EQ(ReadHostsFile([&](const wchar_t* text) { seen.push_back(text); }), 0u);
    EXPECT_EQ(seen, std::vector<std::wstring>{L"10.0.0.1 intranet\r\n"});
    // The length counts: only the first characters are written.
    EXPECT_EQ(WriteHostsFile(L"10.0.0.1 intranet\r\n", 8), 0u);
    EXPECT_EQ(ReadBytes(hosts), "10.0.0.1");
    // An empty editor saves an empty file.
    EXPECT_EQ(WriteHostsFile(L"", 0), 0u);
    EXPECT_EQ(ReadBytes(hosts), std::string());
}

TEST(HostsFile, DefaultTextHasTheFixedForm) {
    const std::string text = DefaultText();
    const auto source = ReadBytes(test::UnixPathToWindows(test::Env(L"LARKSPUR_SOURCE_DIR")) +
                                  L"\\resources\\default_hosts.txt");
    ASSERT_TRUE(source);
    EXPECT_EQ(text, *source);
    for (unsigned char c : text) ASSERT_TRUE(c < 0x80 && (c >= 0x20 || c == '\r' || c == '\n')) << int(c);

    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
        lines.push_back(text.substr(start, end - start));
    }
    EXPECT_EQ(start, text.size()) << "the text ends in CRLF";
    ASSERT_EQ(lines.size(), 19u);
    for (size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].find_first_of("\r\n"), std::string::npos) << i;
        if (i < 17) {
            EXPECT_EQ(lines[i].substr(0, 1), "#") << i;
        }
    }
    EXPECT_EQ(lines[17], "");
    EXPECT_EQ(lines[18], "127.0.0.1       localhost");
}

// Runs in its own ctest entry with LC_ALL=zh_CN.UTF-8, which gives Wine code page 936.
class CodePage936 : public HostsPage {
protected:
    void SetUp() override {
        if (::GetACP() != 936) GTEST_SKIP() << "needs code page 936 (LC_ALL=zh_CN.UTF-8)";
        HostsPage::SetUp();
    }
};

TEST_F(CodePage936, ChineseCommentsShowAndAreWrittenBackByteForByte) {
    const std::string gbk =
        "# \xb9\xe3\xb8\xe6\xc6\xc1\xb1\xce\xc1\xd0\xb1\xed\xa3\xa8\xb1\xbe\xbb\xfa\xce\xac\xbb\xa4\xa3\xa9\r\n"
        "127.0.0.1       localhost\r\n"
        "0.0.0.0 ad.tracker.example    # \xb6\xf1\xd2\xe2\xd5\xbe\xb5\xe3\r\n";
    WriteBytes(hosts, gbk);
    Open();
    EXPECT_EQ(EditorText(), L"# 广告屏蔽列表（本机维护）\r\n127.0.0.1       localhost\r\n"
                            L"0.0.0.0 ad.tracker.example    # 恶意站点\r\n");
    Click(IDC_HOSTS_SAVE);
    EXPECT_EQ(ReadBytes(hosts), gbk);

    TypeAtEnd(L"# 中文");
    Click(IDC_HOSTS_SAVE);
    EXPECT_EQ(ReadBytes(hosts), gbk + "# \xd6\xd0\xce\xc4");
}

}  // namespace
