#include "app/fast_check_host.h"

#include "app/my_about_dlg.h"
#include "app/update_handoff.h"

namespace {

class ProgramHost final : public FastCheckHost {
public:
    void StartUpdateHandOff(CFastCheckDialog& page) override {
        if (HANDLE thread = ::CreateThread(nullptr, 0, &UpdateHandOffThread, &page, 0, nullptr)) {
            ::CloseHandle(thread);
        }
    }
    void ShowAbout(CFastCheckDialog& page) override {
        CMyAboutDlg about(&page);
        about.DoModal();
    }
};

}  // namespace

FastCheckHost& ProgramFastCheckHost() {
    static ProgramHost host;
    return host;
}
