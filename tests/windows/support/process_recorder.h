// A process-start seam for tests: records every start and answers it, or passes it through.
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
    bool startSucceeds = true;        // answer when not passing through
    INT_PTR shellResult = 42;         // answer when not passing through
    std::vector<lark::process::StartRequest> starts;
    std::vector<lark::process::ShellRequest> shellCalls;
    // Copies taken under the lock, for requests made on another thread (the update hand-off).
    std::vector<lark::process::StartRequest> Starts() const;
    std::vector<lark::process::ShellRequest> ShellCalls() const;

    bool Start(const lark::process::StartRequest& request, lark::UniqueHandle& process) override;
    INT_PTR Shell(const lark::process::ShellRequest& request) override;

private:
    mutable std::mutex mutex_;
    lark::process::Starter* previous_;
};

}  // namespace test
