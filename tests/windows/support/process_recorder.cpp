#include "support/process_recorder.h"

namespace test {

ProcessRecorder::ProcessRecorder(bool pass) : passThrough(pass), previous_(lark::process::SetStarter(this)) {}
ProcessRecorder::~ProcessRecorder() { lark::process::SetStarter(previous_); }

bool ProcessRecorder::Start(const lark::process::StartRequest& request, lark::UniqueHandle& process) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        starts.push_back(request);
    }
    if (passThrough) return lark::process::RealStart(request, process);
    if (!startSucceeds) ::SetLastError(ERROR_FILE_NOT_FOUND);
    return startSucceeds;
}

bool ProcessRecorder::Shell(const lark::process::ShellRequest& request) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        shellCalls.push_back(request);
    }
    return passThrough ? lark::process::RealShell(request) : shellSucceeds;
}

bool ProcessRecorder::Select(const std::wstring& path) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        selections.push_back(path);
    }
    return passThrough ? lark::process::RealSelect(path) : selectSucceeds;
}

std::vector<lark::process::StartRequest> ProcessRecorder::Starts() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return starts;
}

std::vector<lark::process::ShellRequest> ProcessRecorder::ShellCalls() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return shellCalls;
}

}  // namespace test
