// Tolvane: checks the program that started it against the update description published for it
// and reports through the exit code: 0 nothing to report, 100 a newer version is listed,
// 101 the user wants to update. Its only window is the question about a damaged program.
#include <windows.h>
#include <shellapi.h>

#include <cwchar>
#include <memory>
#include <new>
#include <optional>
#include <string>

#include "framework/handles.h"
#include "framework/system_library.h"
#include "updater/ansi_text.h"
#include "updater/crc32.h"
#include "updater/update_description.h"
#include "updater/wininet_library.h"

namespace tolvane {
namespace {

constexpr wchar_t kBaseAddress[] = L"http://" LARKSPUR_UPDATE_HOST L"/avtools";
constexpr wchar_t kDescriptionName[] = L"update.ini";
// The caller lies beside us: our folder is our path less as many characters as this name has.
constexpr wchar_t kOwnName[] = L"Tolvane.exe";
constexpr std::size_t kOwnNameLength = sizeof(kOwnName) / sizeof(kOwnName[0]) - 1;

constexpr std::size_t kTextChars = 260;      // arguments and paths, terminator included
constexpr std::size_t kVersionChars = 200;   // room for the latest version string
constexpr std::size_t kBufferBytes = 1024;   // download buffer, zero-filled
constexpr DWORD kReadBytes = 512;            // the one read of the description

constexpr wchar_t kCaption[] = L"警告";
constexpr wchar_t kDamagedText[] = L"该程序可能被恶意修改或病毒感染，是否更新？";
constexpr wchar_t kOutdatedAndDamagedText[] = L"该程序不是最新版本并且可能被\n恶意修改或病毒感染，是否更新？";

enum ExitCode : UINT { kNothingToReport = 0, kNewerListed = 100, kUpdateWanted = 101 };

struct Arguments {
    std::wstring tool;      // folder of the tool on the update server
    std::wstring version;   // the caller's own version string
    std::wstring fileName;  // the caller's executable, beside us
};

// The last three arguments. False when fewer than three follow the program name, or when one does
// not fit the 260-character buffers the values are kept in.
bool ReadArguments(Arguments& out) {
    int count = 0;
    LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    const lark::UniqueLocal owner(argv);
    if (argv == nullptr || count < 4) return false;
    std::wstring* targets[] = {&out.tool, &out.version, &out.fileName};
    for (int i = 0; i < 3; ++i) {
        const wchar_t* value = argv[count - 3 + i];
        if (std::wcslen(value) >= kTextChars) return false;
        *targets[i] = value;
    }
    return true;
}

// One GET of the description: at most the first 512 bytes of the body, kept in memory (nothing is
// written: a file in the user's temporary folder is the user's to replace or redirect). Nothing
// when the check cannot be made: no WinINet, no connection, the request or the buffer failed.
std::optional<std::string> DownloadDescription(const std::wstring& url) {
    WinInetLibrary wininet;
    if (!wininet.Load()) return std::nullopt;
    DWORD connection = 0;
    if (!wininet.getConnectedState(&connection, 0)) return std::nullopt;
    UniqueInternet internet(wininet.open(nullptr, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!internet) return std::nullopt;
    // The status is not examined: whatever body arrives is taken as the description.
    UniqueInternet request(wininet.openUrl(internet.get(), url.c_str(), nullptr, 0, INTERNET_FLAG_NO_CACHE_WRITE, 0));
    if (!request) return std::nullopt;

    std::unique_ptr<BYTE[]> buffer(new (std::nothrow) BYTE[kBufferBytes]());
    if (!buffer) return std::nullopt;
    DWORD received = 0;
    wininet.readFile(request.get(), buffer.get(), kReadBytes, &received);
    if (received > kReadBytes) received = 0;
    return std::string(reinterpret_cast<const char*>(buffer.get()), received);
}

// The caller's path: our folder (our path cut by the length of our own name) + its file name.
// Empty when our path cannot be read or the result does not fit 260 characters.
std::wstring CallerPath(const std::wstring& fileName) {
    wchar_t own[kTextChars] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, own, static_cast<DWORD>(kTextChars));
    if (length == 0 || length >= kTextChars) return {};
    const std::size_t folderLength = length > kOwnNameLength ? length - kOwnNameLength : 0;
    std::wstring path = std::wstring(own, folderLength) + fileName;
    if (path.size() >= kTextChars) return {};
    return path;
}

// CRC-32 of the whole file through one read-only view. False when the file cannot be opened, or
// when a non-empty file cannot be mapped; an empty file has checksum 0.
bool ChecksumFile(const std::wstring& path, std::uint32_t& checksum) {
    Crc32Table table;
    BuildCrc32Table(table);
    lark::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size)) return false;
    if (size.QuadPart == 0) {
        checksum = 0;
        return true;
    }
    lark::UniqueHandle mapping(::CreateFileMappingW(file.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (!mapping) return false;
    lark::UniqueView view(::MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 0));
    mapping.reset();
    if (!view) return false;
    checksum = ComputeCrc32(table, static_cast<const unsigned char*>(view.get()),
                            static_cast<std::size_t>(size.QuadPart));
    return true;
}

UINT RunUpdateCheck() {
    Arguments args;
    if (!ReadArguments(args)) return kNothingToReport;
    const std::wstring url = std::wstring(kBaseAddress) + L"/" + args.tool + L"/" + kDescriptionName;
    const std::optional<std::string> downloaded = DownloadDescription(url);
    if (!downloaded) return kNothingToReport;

    // Read by the rules of the profile functions, as from an "update.ini" file.
    const UpdateDescription description = UpdateDescription::Parse(*downloaded, DecodeAnsi);
    const std::wstring latest = description.String(L"VERSION", L"key", kVersionChars);
    if (description.Number(L"CRC", latest) == 0) return kNothingToReport;
    const std::uint32_t listed = description.Number(L"CRC", args.version);
    if (listed == 0) return kNothingToReport;
    // Exact: the same UTF-16 code units, case included.
    const bool isLatest = args.version == latest;

    const std::wstring callerPath = CallerPath(args.fileName);
    if (callerPath.empty()) return kNothingToReport;
    std::uint32_t checksum = 0;
    if (!ChecksumFile(callerPath, checksum)) return kNothingToReport;

    if (checksum == listed) return isLatest ? kNothingToReport : kNewerListed;
    const int answer =
        ::MessageBoxW(nullptr, isLatest ? kDamagedText : kOutdatedAndDamagedText, kCaption, MB_YESNO);
    // Only an explicit Yes: a box that could not be shown is no answer.
    if (answer == IDYES) return kUpdateWanted;
    return isLatest ? kNothingToReport : kNewerListed;
}

}  // namespace
}  // namespace tolvane

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // Often run from a download folder: no DLL from our folder or the current one, ever.
    lark::RestrictDllSearchToSystemFolder();
    const UINT code = tolvane::RunUpdateCheck();
    if (code != tolvane::kNothingToReport) ::ExitProcess(code);
    return 0;
}
