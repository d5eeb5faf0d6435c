#include "pages/lsp_repair.h"

#include <string>

#include "framework/handles.h"
#include "framework/process.h"

namespace {

constexpr std::size_t kExplorerCommandSize = 520;  // characters, terminator included

}  // namespace

int LocateFileInExplorer(const wchar_t* path) {
    const std::wstring windows = lark::process::WindowsDirectory();
    if (windows.empty()) return 0;
    lark::process::StartRequest request;
    request.application = windows + L"\\explorer.exe";
    request.commandLine = windows + L"\\Explorer /select," + (path ? path : L"");
    if (request.commandLine.size() >= kExplorerCommandSize) return 0;  // never a cut command line
    lark::UniqueHandle process;
    return lark::process::Start(request, process) ? 1 : 0;
}
