// A process-start seam for tests: records every start, every request to the desktop's shell and
// every file shown in Explorer, and answers each, or passes it through to the real call.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "framework/process.h"

namespace test {

class ProcessRecorder : public lark::process::Starter {
public:
    explicit ProcessRecorder(bool passThrough = false);  // installs itself
    ~ProcessRecorder() override;

    bool passThrough;
    bool startSucceeds = true;        // answers when not passing through
    bool shellSucceeds = true;
    bool selectSucceeds = true;
    std::vector<lark::process::StartRequest> starts;
    std::vector<lark::process::ShellRequest> shellCalls;
    std::vector<std::wstring> selections;
    // Copies taken under the lock, for requests made on another thread (the update hand-off).
    std::vector<lark::process::StartRequest> Starts() const;
    std::vector<lark::process::ShellRequest> ShellCalls() const;

    bool Start(const lark::process::StartRequest& request, lark::UniqueHandle& process) override;
    bool Shell(const lark::process::ShellRequest& request) override;
    bool Select(const std::wstring& path) override;

private:
    mutable std::mutex mutex_;
    lark::process::Starter* previous_;
};

}  // namespace test
