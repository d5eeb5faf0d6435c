// Tolvane end to end: the shipped program, run in a folder of its own beside a caller file, fetches
// its description from a small HTTP server on 127.0.0.1 that the prefix's proxy setting points to.
// Its warning is found by caption, read, and answered as each case says.
#include <gtest/gtest.h>

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <atomic>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "framework/handles.h"
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

// The whole file; nothing when it cannot be opened.
std::optional<std::string> ReadFileBytes(const std::wstring& path) {
    lark::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) return std::nullopt;
    std::string bytes;
    char chunk[4096];
    DWORD got = 0;
    while (::ReadFile(file.get(), chunk, sizeof(chunk), &got, nullptr) && got > 0) bytes.append(chunk, got);
    return bytes;
}

void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    lark::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    ASSERT_TRUE(file) << ::GetLastError();
    DWORD put = 0;
    ASSERT_TRUE(::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr));
}

// A one-file HTTP server: answers every request with the configured status and body and records
// the request target (the absolute URL, as a proxy receives it).
class DescriptionServer {
public:
    ~DescriptionServer() { Stop(); }

    bool Start() {
        WSADATA data{};
        if (::WSAStartup(MAKEWORD(2, 2), &data) != 0) return false;
        started_ = true;
        listener_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        if (listener_ == INVALID_SOCKET) return false;
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = 0;
        int length = sizeof(address);
        if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
            ::listen(listener_, 8) != 0 ||
            ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            return false;
        }
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { Serve(); });
        return true;
    }

    void Stop() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        if (listener_ != INVALID_SOCKET) ::closesocket(listener_);
        listener_ = INVALID_SOCKET;
        if (started_) ::WSACleanup();
        started_ = false;
    }

    unsigned short port() const { return port_; }

    void Reply(int status, std::string body) {
        std::lock_guard<std::mutex> lock(mutex_);
        status_ = status;
        body_ = std::move(body);
    }

    std::vector<std::string> Requests() {
        std::lock_guard<std::mutex> lock(mutex_);
        return requests_;
    }

    void ClearRequests() {
        std::lock_guard<std::mutex> lock(mutex_);
        requests_.clear();
    }

private:
    void Serve() {
        while (!stop_) {
            fd_set readable;
            FD_ZERO(&readable);
            FD_SET(listener_, &readable);
            timeval wait{0, 50 * 1000};
            if (::select(0, &readable, nullptr, nullptr, &wait) <= 0) continue;
            SOCKET client = ::accept(listener_, nullptr, nullptr);
            if (client == INVALID_SOCKET) continue;
            Answer(client);
            ::closesocket(client);
        }
    }

    void Answer(SOCKET client) {
        DWORD timeout = 5000;
        ::setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof(timeout));
        std::string head;
        char chunk[1024];
        while (head.find("\r\n\r\n") == std::string::npos && head.size() < 16384) {
            const int got = ::recv(client, chunk, sizeof(chunk), 0);
            if (got <= 0) return;
            head.append(chunk, static_cast<std::size_t>(got));
        }
        std::istringstream firstLine(head.substr(0, head.find("\r\n")));
        std::string method, target;
        firstLine >> method >> target;

        std::string response;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            requests_.push_back(method + " " + target);
            response = "HTTP/1.1 " + std::to_string(status_) + (status_ == 200 ? " OK" : " Not Found") +
                       "\r\nContent-Type: text/plain\r\nContent-Length: " + std::to_string(body_.size()) +
                       "\r\nConnection: close\r\n\r\n" + body_;
        }
        for (std::size_t sent = 0; sent < response.size();) {
            const int put = ::send(client, response.data() + sent, static_cast<int>(response.size() - sent), 0);
            if (put <= 0) break;
            sent += static_cast<std::size_t>(put);
        }
        ::shutdown(client, SD_SEND);
    }

    bool started_ = false;
    SOCKET listener_ = INVALID_SOCKET;
    unsigned short port_ = 0;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    int status_ = 200;
    std::string body_;
    std::vector<std::string> requests_;
};

// What the warning looked like when it was answered.
struct Warning {
    std::wstring text;
    std::vector<int> buttons;  // ids of the visible buttons
    int icons = 0;             // visible static controls showing an icon
};

struct Outcome {
    int exitCode = -1;
    std::vector<Warning> warnings;
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

// Runs the program with the command line given and answers each of its warnings (IDYES / IDNO).
Outcome RunAnswering(const std::wstring& commandLine, int answer) {
    Outcome outcome;
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
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
    return outcome;
}

std::wstring TempFolder() {
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    return temp;
}

std::string Description(const std::string& latest, const std::string& crcLines) {
    return "[VERSION]\r\nkey=" + latest + "\r\n[CRC]\r\n" + crcLines;
}

// A copy left by an earlier run: longer than any download, and a valid description on its own
// (it would report a newer version), so a run that used it instead of the new copy would show.
const std::string kStaleCopy =
    Description("v9.9", "v9.9=1\r\nv1.6=" + std::string(kCallerCrc) + "\r\n") + std::string(600, ';') + "\r\n";

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
        PointProxyAt(server_.port());
    }

    void TearDown() override {
        server_.Stop();
        test::DeleteTree(HKEY_CURRENT_USER, kProxyKey);
    }

    // Copies the built program into the case's folder under the given name; returns its path.
    std::wstring Install(const std::wstring& name) {
        const std::wstring built = test::UnixPathToWindows(test::Env(L"LARKSPUR_BIN_DIR")) + L"\\Tolvane.exe";
        const std::wstring path = folder_ + name;
        EXPECT_TRUE(::CopyFileW(built.c_str(), path.c_str(), FALSE)) << Narrow(built) << " " << ::GetLastError();
        return path;
    }

    static void PointProxyAt(unsigned short port) {
        ASSERT_EQ(test::SetDword(HKEY_CURRENT_USER, kProxyKey, L"ProxyEnable", 1), ERROR_SUCCESS);
        ASSERT_EQ(test::SetString(HKEY_CURRENT_USER, kProxyKey, L"ProxyServer", L"127.0.0.1:" + std::to_wstring(port)),
                  ERROR_SUCCESS);
    }

    // Each case starts with a stale local copy and no requests seen.
    void NextCase() {
        WriteFileBytes(LocalCopy(), kStaleCopy);
        server_.ClearRequests();
    }

    static std::wstring LocalCopy() { return TempFolder() + L"update.ini"; }

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

    // One run that reaches the server: the request, the exit code, the warnings, the local copy.
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
        EXPECT_EQ(ReadFileBytes(LocalCopy()), body.substr(0, 512));
    }

    std::wstring folder_;
    std::wstring program_;
    DescriptionServer server_;
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
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        NextCase();
        ExpectRun(c.body, kArguments, c.answer, c.exitCode, c.warning);
    }
}

}  // namespace
