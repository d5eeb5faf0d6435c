// Drives the real Larkspur.exe for the demo: screenshots of the notice and of every tab, then a
// fast check (Detect, Repair) whose rows it prints.
// Usage: demo_driver LARKSPUR_EXE OUTPUT_FOLDER [PAUSE_MS]
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <string>

#include "remote_ui.h"

namespace {

constexpr int kTab = 1000, kCheckList = 1001, kRepair = 1002, kAbout = 1003, kDetect = 1004, kPageList = 1005;
const wchar_t* kTabNames[] = {L"fastcheck", L"associations", L"hijacks", L"addons",
                              L"hosts",     L"lsp",          L"firewall", L"other"};

std::string Utf8(const std::wstring& text) {
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(size > 0 ? size - 1 : 0, '\0');
    if (size > 1) ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), size, nullptr, nullptr);
    return out;
}

void Say(const std::wstring& line) {
    std::printf("%s\n", Utf8(line).c_str());
    std::fflush(stdout);
}

void PrintFastCheck(HANDLE process, HWND list, const wchar_t* heading) {
    remote::RemoteList rows(process, list);
    Say(heading);
    for (int r = 0; r < rows.Rows(); ++r) {
        std::wstring line = std::wstring(L"  [") + (rows.Checked(r) ? L"x" : L" ") + L"] " + rows.Cell(r, 0);
        const std::wstring found = rows.Cell(r, 1), outcome = rows.Cell(r, 2);
        if (!found.empty()) line += L"  ->  " + found;
        if (!outcome.empty()) line += L"  ->  " + outcome;
        Say(line);
    }
}

// Column 0 and one other column of every row of a list page.
void PrintRows(HANDLE process, HWND list, const wchar_t* heading, int column) {
    remote::RemoteList rows(process, list);
    Say(heading);
    for (int r = 0; r < rows.Rows(); ++r) Say(L"  " + rows.Cell(r, 0) + L"  |  " + rows.Cell(r, column));
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        Say(L"usage: demo_driver LARKSPUR_EXE OUTPUT_FOLDER [PAUSE_MS]");
        return 2;
    }
    const std::wstring program = argv[1], out = std::wstring(argv[2]) + L"\\";
    const DWORD pause = argc > 3 ? static_cast<DWORD>(_wtoi(argv[3])) : 400;

    std::wstring commandLine = L"\"" + program + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &info)) {
        Say(L"demo: Larkspur.exe could not be started");
        return 1;
    }
    ::CloseHandle(info.hThread);
    const DWORD pid = info.dwProcessId;

    HWND notice = remote::WaitForWindow(pid, [](HWND w) { return remote::HasChildWithText(w, L"说  明"); }, 30000);
    if (!notice) {
        Say(L"demo: the notice did not appear");
        ::TerminateProcess(info.hProcess, 1);
        return 1;
    }
    ::Sleep(pause);
    remote::SaveWindowBitmap(notice, out + L"01-notice.bmp");
    Say(L"notice shown; answering 确定");
    ::PostMessageW(notice, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);

    HWND main = remote::WaitForWindow(pid, [](HWND w) { return remote::Text(w) == L"Larkspur"; }, 30000);
    if (!main) {
        Say(L"demo: the main window did not appear");
        ::TerminateProcess(info.hProcess, 1);
        return 1;
    }
    ::Sleep(200);
    remote::SaveWindowBitmap(main, out + L"02-startup.bmp");
    ::Sleep(2000);  // the banner replaces the start-up animation
    HWND tab = remote::FindDescendantById(main, kTab, WC_TABCONTROLW);
    for (int i = 0; i < 8; ++i) {
        ::SendMessageW(tab, TCM_SETCURFOCUS, i, 0);
        ::Sleep(pause);
        wchar_t name[64];
        wsprintfW(name, L"%02d-tab-%d-%s.bmp", 3 + i, i, kTabNames[i]);
        remote::SaveWindowBitmap(main, out + name);
    }

    ::SendMessageW(tab, TCM_SETCURFOCUS, 0, 0);
    ::Sleep(pause);
    HWND list = remote::FindDescendantById(main, kCheckList, WC_LISTVIEWW);
    HWND detect = remote::FindDescendantById(main, kDetect, L"Button");
    HWND repair = remote::FindDescendantById(main, kRepair, L"Button");
    PrintFastCheck(info.hProcess, list, L"fast check before Detect:");
    ::SendMessageW(detect, BM_CLICK, 0, 0);
    ::Sleep(pause);
    PrintFastCheck(info.hProcess, list, L"after Detect:");
    remote::SaveWindowBitmap(main, out + L"11-fastcheck-detected.bmp");
    ::SendMessageW(repair, BM_CLICK, 0, 0);
    ::Sleep(pause);
    PrintFastCheck(info.hProcess, list, L"after Repair:");
    remote::SaveWindowBitmap(main, out + L"12-fastcheck-repaired.bmp");
    ::SendMessageW(detect, BM_CLICK, 0, 0);
    ::Sleep(pause);
    PrintFastCheck(info.hProcess, list, L"after a second Detect:");
    remote::SaveWindowBitmap(main, out + L"13-fastcheck-checked-again.bmp");

    // The list pages show repairs made elsewhere at their next refresh.
    const struct {
        int tab;
        int refreshCommand;
        const wchar_t* shot;
    } refreshed[] = {{1, 32801, L"14-associations-after-repair.bmp"}, {2, 32773, L"15-hijacks-after-repair.bmp"}};
    for (const auto& page : refreshed) {
        ::SendMessageW(tab, TCM_SETCURFOCUS, page.tab, 0);
        ::Sleep(pause);
        ::SendMessageW(remote::VisiblePage(tab), WM_COMMAND, MAKEWPARAM(page.refreshCommand, 0), 0);
        ::Sleep(pause);
        remote::SaveWindowBitmap(main, out + page.shot);
    }

    // The about box of the fast-check page.
    ::SendMessageW(tab, TCM_SETCURFOCUS, 0, 0);
    ::Sleep(pause);
    ::PostMessageW(remote::FindDescendantById(main, kAbout, L"Button"), BM_CLICK, 0, 0);
    HWND about = remote::WaitForWindow(
        pid, [](HWND w) { return remote::HasChildWithText(w, L"确  定") && !remote::HasChildWithText(w, L"说  明"); },
        10000);
    if (about) {
        ::Sleep(pause);
        remote::SaveWindowBitmap(about, out + L"16-about.bmp");
        ::PostMessageW(about, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        ::Sleep(pause);
    }

    // The add-ons of both registry views: the kind column widened, as a user drags its divider,
    // so that the mark of the 32-bit ones shows; then the rows of both pages that list views.
    ::SendMessageW(tab, TCM_SETCURFOCUS, 3, 0);
    ::Sleep(pause);
    HWND addOns = remote::FindDescendantById(remote::VisiblePage(tab), kPageList, WC_LISTVIEWW);
    ::SendMessageW(addOns, LVM_SETCOLUMNWIDTH, 2, MAKELPARAM(LVSCW_AUTOSIZE, 0));
    ::Sleep(pause);
    remote::SaveWindowBitmap(main, out + L"17-addons-kind-widened.bmp");
    PrintRows(info.hProcess, addOns, L"add-ons (name, kind):", 2);
    ::SendMessageW(tab, TCM_SETCURFOCUS, 5, 0);
    ::Sleep(pause);
    PrintRows(info.hProcess, remote::FindDescendantById(remote::VisiblePage(tab), kPageList, WC_LISTVIEWW),
              L"LSP catalogues (protocol, vendor):", 2);

    ::PostMessageW(main, WM_CLOSE, 0, 0);
    const bool ended = ::WaitForSingleObject(info.hProcess, 15000) == WAIT_OBJECT_0;
    if (!ended) ::TerminateProcess(info.hProcess, 1);
    ::CloseHandle(info.hProcess);
    Say(ended ? L"Larkspur closed" : L"demo: Larkspur did not close; ended it");
    return ended ? 0 : 1;
}
