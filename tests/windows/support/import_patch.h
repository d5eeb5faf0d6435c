// Replaces one entry of this test program's import table for the lifetime of the object, so a
// test can stand in for a system call that Wine cannot make fail (there are no registry ACLs)
// or that it only stubs. The program's code is linked into the test program, so its calls go
// through the same table.
#pragma once

#include <windows.h>

namespace test {

class ImportPatch {
public:
    ImportPatch(const char* dll, const char* function, void* replacement);
    ~ImportPatch();
    ImportPatch(const ImportPatch&) = delete;
    ImportPatch& operator=(const ImportPatch&) = delete;

    bool installed() const { return slot_ != nullptr; }
    // The real function, for replacements that pass calls on.
    template <class F>
    F original() const {
        return reinterpret_cast<F>(original_);
    }

private:
    void Write(void* value);
    void** slot_;
    void* original_ = nullptr;
};

}  // namespace test
