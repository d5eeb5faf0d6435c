// Tolvane end to end: the shipped program, run in a folder of its own beside a caller file, fetches
// its description from a small HTTP server on 127.0.0.1 that the prefix's proxy setting points to.
// Its warning is found by caption, read, and answered as each case says.
#include <gtest/gtest.h>

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "description_server.h"
#include "framework/handles.h"
#include "support/files.h"
#include "support/pe_image.h"
#include "support/registry.h"
#include "support/ui.h"

namespace {

// The caller file "123456789" has the CRC-32 0xCBF43926, above 2^31 as half of all checksums are.
constexpr char kCallerBytes[] = "123456789";
constexpr char kCallerCrc[] = "3421780262";
constexpr wchar_t kDamagedText[] = L"该程序可能被恶意修改或病毒感染，是否更新？";
constexpr wchar_t kOutdatedText[] = L"该程序不是最新版本并且可能被\n恶意修改或病毒感染，是否更新？";
const wchar_t kProxyKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

std::string Narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) out += static_cast<char>(c);  // ASCII only
    return out;
}

std::wstring Widen(const std::string& text) { return std::wstring(text.begin(), text.end()); }

using test::ReadFileBytes;

void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    ASSERT_TRUE(test::WriteFileBytes(path, bytes)) << ::GetLastError();
}

// What the warning looked like when it was answered.
struct Warning {
    std::wstring text;
    std::vector<int> buttons;  // ids of the visible buttons
    int icons = 0;             // visible static controls showing an icon
};

struct Outcome {
    int exitCode = -1;
    std::vector<Warning> warnings;
    std::vector<std::wstring> temporaryFiles;  // what its TEMP and TMP folder held afterwards
    std::optional<std::string> staleCopy;      // the "update.ini" there afterwards
};

BOOL CALLBACK InspectChild(HWND child, LPARAM parameter) {
    auto& warning = *reinterpret_cast<Warning*>(parameter);
    if (!::IsWindowVisible(child)) return TRUE;
    const std::wstring kind = test::ClassName(child);
    if (_wcsicmp(kind.c_str(), L"Button") == 0) warning.buttons.push_back(::GetDlgCtrlID(child));
    if (_wcsicmp(kind.c_str(), L"Static") == 0 && (::GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON &&
        ::SendMessageW(child, STM_GETICON, 0, 0) != 0) {
        ++warning.icons;
    }
    return TRUE;
}

std::string Description(const std::string& latest, const std::string& crcLines) {
    return "[VERSION]\r\nkey=" + latest + "\r\n[CRC]\r\n" + crcLines;
}

// A copy of the description where an earlier version of the program kept one (the temporary
// folder): a valid description on its own that would report a newer version, so a run that read
// it would show; and a run must leave it as it is.
const std::string kStaleCopy =
    Description("v9.9", "v9.9=1\r\nv1.6=" + std::string(kCallerCrc) + "\r\n") + std::string(600, ';') + "\r\n";

// Runs the program with the command line given and answers each of its warnings (IDYES, IDNO, or
// another id that ends the box). Its TEMP and TMP name a folder of its own that holds only a stale
// "update.ini".
Outcome RunAnswering(const std::wstring& commandLine, int answer) {
    Outcome outcome;
    static int runs = 0;
    wchar_t ownTemp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, ownTemp);
    const std::wstring temp = std::wstring(ownTemp) + L"tolvane-run-" + std::to_wstring(++runs) + L"\\";
    ::CreateDirectoryW(temp.c_str(), nullptr);
    if (!test::WriteFileBytes(temp + L"update.ini", kStaleCopy)) ADD_FAILURE() << "cannot write the stale copy";
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    const std::wstring savedTemp = test::Env(L"TEMP"), savedTmp = test::Env(L"TMP");
    for (const wchar_t* name : {L"TEMP", L"TMP"}) ::SetEnvironmentVariableW(name, temp.c_str());
    const BOOL started =
        ::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info);
    ::SetEnvironmentVariableW(L"TEMP", savedTemp.c_str());
    ::SetEnvironmentVariableW(L"TMP", savedTmp.c_str());
    if (!started) {
        ADD_FAILURE() << "cannot start " << Narrow(commandLine) << ": " << ::GetLastError();
        return outcome;
    }
    lark::UniqueHandle process(info.hProcess), thread(info.hThread);
    HWND answered = nullptr;
    const ULONGLONG deadline = ::GetTickCount64() + 20000;
    while (::WaitForSingleObject(process.get(), 20) == WAIT_TIMEOUT) {
        if (::GetTickCount64() > deadline) {
            ::TerminateProcess(process.get(), 255);
            ADD_FAILURE() << "no end within 20 s: " << Narrow(commandLine);
            return outcome;
        }
        HWND box = ::FindWindowW(L"#32770", L"警告");
        DWORD owner = 0;
        if (!box || box == answered || !::IsWindowVisible(box)) continue;
        ::GetWindowThreadProcessId(box, &owner);
        if (owner != info.dwProcessId) continue;
        Warning warning;
        warning.text = test::WindowText(::GetDlgItem(box, 0xFFFF));
        ::EnumChildWindows(box, InspectChild, reinterpret_cast<LPARAM>(&warning));
        outcome.warnings.push_back(warning);
        ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(answer ? answer : IDNO, BN_CLICKED), 0);
        answered = box;
    }
    DWORD code = 0;
    ::GetExitCodeProcess(process.get(), &code);
    outcome.exitCode = static_cast<int>(code);
    outcome.temporaryFiles = test::FolderEntries(temp);
    outcome.staleCopy = ReadFileBytes(temp + L"update.ini");
    return outcome;
}

std::wstring TempFolder() {
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    return temp;
}

class Tolvane : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder_ = TempFolder() + L"tolvane-e2e\\" + Widen(info->name()) + L"\\";
        ::CreateDirectoryW((TempFolder() + L"tolvane-e2e").c_str(), nullptr);
        ASSERT_TRUE(::CreateDirectoryW(folder_.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS);
        program_ = Install(L"Tolvane.exe");
        WriteFileBytes(folder_ + L"Larkspur.exe", kCallerBytes);
        ASSERT_TRUE(server_.Start());
        NextCase();
        for (const wchar_t* name : {L"ProxyEnable", L"ProxyServer"}) {
            savedProxy_.emplace_back(name, test::GetValue(HKEY_CURRENT_USER, kProxyKey, name));
        }
        PointProxyAt(server_.port());
    }

    void TearDown() override {
        server_.Stop();
        for (const auto& [name, value] : savedProxy_) {
            if (value) {
                ::RegSetKeyValueW(HKEY_CURRENT_USER, kProxyKey, name, value->type, value->data.data(),
                                  static_cast<DWORD>(value->data.size()));
            } else {
                ::RegDeleteKeyValueW(HKEY_CURRENT_USER, kProxyKey, name);
            }
        }
    }

    // Copies the built program into the case's folder under the given name; returns its path.
    std::wstring Install(const std::wstring& name) {
        const std::wstring built = test::UnixPathToWindows(test::Env(L"LARKSPUR_BIN_DIR")) + L"\\Tolvane.exe";
        const std::wstring path = folder_ + name;
        EXPECT_TRUE(::CopyFileW(built.c_str(), path.c_str(), FALSE)) << Narrow(built) << " " << ::GetLastError();
        return path;
    }

    // The program reaches the update host only through this proxy; Unix proxy variables that
    // leak into the prefix's environment must not send it elsewhere.
    static void PointProxyAt(unsigned short port) { ASSERT_TRUE(test::PointProxyAt(port)); }

    // Each case starts with no requests seen.
    void NextCase() { server_.ClearRequests(); }

    // The run neither read nor wrote a file in its temporary folder: only the stale copy is there,
    // as it was.
    static void ExpectTemporaryFolderUntouched(const Outcome& outcome) {
        EXPECT_EQ(outcome.temporaryFiles, std::vector<std::wstring>{L"update.ini"});
        EXPECT_EQ(outcome.staleCopy, kStaleCopy);
    }

    Outcome RunWith(const std::wstring& program, const std::wstring& arguments, int answer = 0) {
        std::wstring line = L"\"" + program + L"\"";
        if (!arguments.empty()) line += L" " + arguments;
        return RunAnswering(line, answer);
    }

    // The requests as the server saw them, the proxy's ":80" after the host dropped.
    std::vector<std::string> Requests() {
        std::vector<std::string> requests = server_.Requests();
        for (auto& r : requests) {
            const std::size_t port = r.find(":80/");
            if (port != std::string::npos) r.erase(port, 3);
        }
        return requests;
    }

    static std::string ExpectedRequest(const std::string& tool) {
        return "GET http://" + Narrow(LARKSPUR_UPDATE_HOST) + "/avtools/" + tool + "/update.ini";
    }

    // One run that reaches the server: the request, the exit code, the warnings; nothing written to
    // a temporary folder.
    void ExpectRun(const std::string& body, const std::wstring& arguments, int answer, int exitCode,
                   const wchar_t* warning, int status = 200, const std::string& tool = "K00000031") {
        server_.Reply(status, body);
        const Outcome outcome = RunWith(program_, arguments, answer);
        EXPECT_EQ(outcome.exitCode, exitCode);
        EXPECT_EQ(Requests(), std::vector<std::string>{ExpectedRequest(tool)});
        if (warning) {
            ASSERT_EQ(outcome.warnings.size(), 1u);
            EXPECT_EQ(outcome.warnings[0].text, warning);
            EXPECT_EQ(outcome.warnings[0].buttons, (std::vector<int>{IDYES, IDNO}));
            EXPECT_EQ(outcome.warnings[0].icons, 0);
        } else {
            EXPECT_EQ(outcome.warnings.size(), 0u);
        }
        ExpectTemporaryFolderUntouched(outcome);
    }

    std::vector<std::pair<const wchar_t*, std::optional<test::RegValue>>> savedProxy_;  // restored after
    std::wstring folder_;
    std::wstring program_;
    test::DescriptionServer server_;
};

const std::wstring kArguments = L"K00000031 v1.6 Larkspur.exe";
const std::string kMatching = std::string("v1.6=") + kCallerCrc + "\r\n";
const std::string kNotMatching = "v1.6=12345\r\n";

TEST_F(Tolvane, DecisionTable) {
    struct Case {
        const char* name;
        std::string body;
        int answer;
        int exitCode;
        const wchar_t* warning;
    } cases[] = {
        {"latest, checksum matches", Description("v1.6", kMatching), IDYES, 0, nullptr},
        {"latest, damaged, Yes", Description("v1.6", kNotMatching), IDYES, 101, kDamagedText},
        {"latest, damaged, No", Description("v1.6", kNotMatching), IDNO, 0, kDamagedText},
        {"older, checksum matches", Description("v1.7", "v1.7=7\r\n" + kMatching), IDYES, 100, nullptr},
        {"older, damaged, Yes", Description("v1.7", "v1.7=7\r\n" + kNotMatching), IDYES, 101, kOutdatedText},
        {"older, damaged, No", Description("v1.7", "v1.7=7\r\n" + kNotMatching), IDNO, 100, kOutdatedText},
        // The version comparison is exact; the checksum key is looked up ignoring case.
        {"latest in other case, matches", Description("V1.6", "V1.6=" + std::string(kCallerCrc) + "\r\n"), IDYES,
         100, nullptr},
        {"latest in other case, damaged, No", Description("V1.6", "V1.6=12345\r\n"), IDNO, 100, kOutdatedText},
        // Only an explicit Yes counts: a box ended any other way is a No.
        {"latest, damaged, box ended otherwise", Description("v1.6", kNotMatching), IDCANCEL, 0, kDamagedText},
        {"older, damaged, box ended otherwise", Description("v1.7", "v1.7=7\r\n" + kNotMatching), IDCANCEL, 100,
         kOutdatedText},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        NextCase();
        ExpectRun(c.body, kArguments, c.answer, c.exitCode, c.warning);
    }
}

TEST_F(Tolvane, EndsQuietlyWithoutAUsableDescription) {
    const std::string padding = std::string(520, ';') + "\r\n";
    struct Case {
        const char* name;
        int status;
        std::string body;
    } cases[] = {
        {"error page", 404, "<html><head><title>404 Not Found</title></head><body>Not Found</body></html>\r\n"},
        {"empty body", 200, ""},
        {"junk bytes", 200, std::string("\0\xff\r\x01[CRC\r\n\x80", 11)},
        {"no VERSION section", 200, "[CRC]\r\nv1.7=7\r\n" + kNotMatching},
        {"no checksum for the latest", 200, Description("v1.7", kNotMatching)},
        {"zero checksum for the latest", 200, Description("v1.7", "v1.7=0\r\n" + kNotMatching)},
        {"no checksum for the caller", 200, Description("v1.7", "v1.7=7\r\nv1.5=12345\r\n")},
        {"caller's checksum beyond byte 512", 200, Description("v1.7", "v1.7=7\r\n") + padding + kNotMatching},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        NextCase();
        ExpectRun(c.body, kArguments, IDYES, 0, nullptr, c.status);
    }
    // The same padding after the keys leaves them readable.
    NextCase();
    ExpectRun(Description("v1.7", "v1.7=7\r\n" + kNotMatching) + padding, kArguments, IDNO, 100, kOutdatedText);
}

TEST_F(Tolvane, EndsQuietlyWhenTheServerIsDown) {
    // A port given up a moment ago: nothing listens there.
    SOCKET probe = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof(address);
    ASSERT_EQ(::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ASSERT_EQ(::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length), 0);
    ::closesocket(probe);
    PointProxyAt(ntohs(address.sin_port));

    const Outcome outcome = RunWith(program_, kArguments, IDYES);
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_EQ(outcome.warnings.size(), 0u);
    ExpectTemporaryFolderUntouched(outcome);
}

TEST_F(Tolvane, TakesTheLastThreeArguments) {
    const std::string outdated = Description("v1.7", "v1.7=7\r\n" + kMatching);
    server_.Reply(200, outdated);
    // Too few values, or one that does not fit the 260 characters a value is kept in.
    const std::wstring tooLong = std::wstring(260, L'K') + L" v1.6 Larkspur.exe";
    for (const std::wstring& arguments : {std::wstring(), std::wstring(L"Larkspur.exe"),
                                          std::wstring(L"v1.6 Larkspur.exe"), tooLong}) {
        SCOPED_TRACE(Narrow(arguments.substr(0, 40)));
        NextCase();
        const Outcome outcome = RunWith(program_, arguments, IDYES);
        EXPECT_EQ(outcome.exitCode, 0);
        EXPECT_EQ(outcome.warnings.size(), 0u);
        EXPECT_EQ(Requests().size(), 0u);
        ExpectTemporaryFolderUntouched(outcome);
    }
    NextCase();
    ExpectRun(outdated, L"/quiet K00000031 v1.5 K12345678 v1.6 Larkspur.exe", IDYES, 100, nullptr, 200, "K12345678");
    // A quoted name with blanks is one argument: a second download's name.
    NextCase();
    WriteFileBytes(folder_ + L"Larkspur (1).exe", kCallerBytes);
    ExpectRun(outdated, L"K00000031 v1.6 \"Larkspur (1).exe\"", IDYES, 100, nullptr);
}

TEST_F(Tolvane, ChecksumsTheCallerBesideItself) {
    // Found and matching, the caller is told of the newer version; not found, nothing is reported.
    const std::string outdated = Description("v1.7", "v1.7=7\r\n" + kMatching);
    struct Case {
        const char* name;
        const wchar_t* programName;
        bool callerPresent;
        int exitCode;
    } cases[] = {
        {"beside it", L"Tolvane.exe", true, 100},
        {"renamed, same length", L"Updater.exe", true, 100},
        {"renamed, longer", L"Tolvane-1.1.exe", true, 0},
        {"renamed, shorter", L"Tol.exe", true, 0},
        {"caller missing", L"Tolvane.exe", false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        NextCase();
        const std::wstring caller = folder_ + L"Larkspur.exe";
        if (c.callerPresent) {
            WriteFileBytes(caller, kCallerBytes);
        } else {
            ASSERT_TRUE(::DeleteFileW(caller.c_str()));
        }
        program_ = Install(c.programName);
        ExpectRun(outdated, kArguments, IDYES, c.exitCode, nullptr);
    }

    // An empty caller has checksum 0, which no listed checksum is.
    NextCase();
    WriteFileBytes(folder_ + L"Larkspur.exe", "");
    program_ = Install(L"Tolvane.exe");
    ExpectRun(Description("v1.6", kMatching), kArguments, IDYES, 101, kDamagedText);
}

// The program file itself: a GUI program with its own resources, needing nothing but the system.
std::wstring BuiltProgram() {
    return test::UnixPathToWindows(test::Env(L"LARKSPUR_BIN_DIR")) + L"\\Tolvane.exe";
}

BOOL CALLBACK CollectType(HMODULE, LPWSTR type, LONG_PTR parameter) {
    reinterpret_cast<std::vector<ULONG_PTR>*>(parameter)->push_back(
        IS_INTRESOURCE(type) ? reinterpret_cast<ULONG_PTR>(type) : 0);
    return TRUE;
}

#pragma pack(push, 2)
struct GroupIconEntry {
    BYTE width, height, colors, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
struct GroupIcon {
    WORD reserved, type, count;
    GroupIconEntry entries[1];
};
#pragma pack(pop)

TEST(TolvaneProgram, CarriesAManifestOneIconAndAVersionBlock) {
    lark::UniqueModule module(::LoadLibraryExW(BuiltProgram().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    ASSERT_TRUE(module) << ::GetLastError();
    std::vector<ULONG_PTR> types;
    ::EnumResourceTypesW(module.get(), CollectType, reinterpret_cast<LONG_PTR>(&types));
    std::sort(types.begin(), types.end());
    EXPECT_EQ(types, (std::vector<ULONG_PTR>{3 /*RT_ICON*/, 14 /*RT_GROUP_ICON*/, 16 /*RT_VERSION*/, 24 /*RT_MANIFEST*/}));

    auto resource = [&](LPCWSTR name, LPCWSTR type, DWORD& size) -> const BYTE* {
        HRSRC found = ::FindResourceW(module.get(), name, type);
        if (!found) return nullptr;
        size = ::SizeofResource(module.get(), found);
        return static_cast<const BYTE*>(::LockResource(::LoadResource(module.get(), found)));
    };
    DWORD size = 0;
    const auto* group = reinterpret_cast<const GroupIcon*>(resource(MAKEINTRESOURCEW(128), RT_GROUP_ICON, size));
    ASSERT_NE(group, nullptr);
    ASSERT_EQ(group->count, 1);
    EXPECT_EQ(group->entries[0].width, 32);
    EXPECT_EQ(group->entries[0].height, 32);
    EXPECT_EQ(group->entries[0].bitCount, 8);
    const auto* image = reinterpret_cast<const BITMAPINFOHEADER*>(
        resource(MAKEINTRESOURCEW(group->entries[0].id), RT_ICON, size));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->biWidth, 32);
    EXPECT_EQ(image->biBitCount, 8);

    const BYTE* manifest = resource(MAKEINTRESOURCEW(1), RT_MANIFEST, size);
    ASSERT_NE(manifest, nullptr);
    EXPECT_NE(std::string(reinterpret_cast<const char*>(manifest), size).find("level=\"asInvoker\""), std::string::npos);

    DWORD ignored = 0;
    std::vector<BYTE> version(::GetFileVersionInfoSizeW(BuiltProgram().c_str(), &ignored));
    ASSERT_FALSE(version.empty());
    ASSERT_TRUE(::GetFileVersionInfoW(BuiltProgram().c_str(), 0, static_cast<DWORD>(version.size()), version.data()));
    wchar_t* text = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueW(version.data(), L"\\StringFileInfo\\080404b0\\FileVersion",
                                 reinterpret_cast<void**>(&text), &length));
    EXPECT_EQ(std::wstring(text), L"V1.1");
}

TEST(TolvaneProgram, IsAGuiProgramImportingOnlySystemLibraries) {
    const std::optional<std::string> file = ReadFileBytes(BuiltProgram());
    ASSERT_TRUE(file);
    const std::optional<test::PeImports> image = test::ReadPeImports(*file);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);
    const std::vector<std::string>& libraries = image->libraries;
    EXPECT_FALSE(libraries.empty());
    wchar_t system[MAX_PATH] = {};
    ::GetSystemDirectoryW(system, MAX_PATH);
    for (const auto& library : libraries) {
        const std::wstring path = std::wstring(system) + L"\\" + Widen(library);
        EXPECT_NE(::GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES) << library << " is not a system library";
    }
}

}  // namespace
