// A process-start seam for tests: records every start and answers it, or passes it through.
#pragma once

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

    bool Start(const lark::process::StartRequest& request, lark::UniqueHandle& process) override;
    INT_PTR Shell(const lark::process::ShellRequest& request) override;

private:
    lark::process::Starter* previous_;
};

}  // namespace test
