// A backup of what a change to the registry will remove or overwrite, written as a .reg file that
// the registry editor imports (double-click, or "reg import"), before the change is made.
//
//   if (const DWORD error = lark::backup::RegistryBackup(L"映像劫持 notepad.exe").Tree(HKEY_LOCAL_MACHINE, path).Save())
//       return error;  // no backup: no change
//
// Keys are written under their real path: a key reached through the 32-bit view (view
// KEY_WOW64_32KEY) is written as HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node\..., one reached through a
// key shared by both views or through HKEY_CLASSES_ROOT as the key it really is (for instance
// HKEY_LOCAL_MACHINE\SOFTWARE\Classes\... or HKEY_CURRENT_USER\Software\Classes\...), so that the
// 64-bit registry editor puts it back where it was. What was not there is written as its deletion
// ([-key], "name"=-), so that importing the backup restores the state before the change exactly.
//
// Keys that are registry links are written with their own values (the link target stays
// untouched by every change, so it needs no backup); an import makes them plain keys holding the
// link's value. Names that hold a line break or a NUL cannot stand in a .reg file: a backup that
// meets one fails, and the change is not made.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "backup/reg_text.h"
#include "framework/handles.h"

namespace lark::backup {

class RegistryBackup {
public:
    // `what` names the change in the file name ("映像劫持 notepad.exe").
    explicit RegistryBackup(std::wstring what);
    RegistryBackup(const RegistryBackup&) = delete;
    RegistryBackup& operator=(const RegistryBackup&) = delete;

    // root\path with all its values and everything below it, as it is now, preceded by its
    // deletion: after an import the key is exactly as it was, also after a change that replaced
    // it. A key that is not there is written as its deletion alone. Links below it are not
    // followed: the link key itself is written, as a delete of the tree removes it.
    RegistryBackup& Tree(HKEY root, const wchar_t* path, REGSAM view = 0);

    // One value of root\path (nullptr or "": the default value) as it is now, or its deletion when
    // it is not there, for a change that sets or deletes it in a key that must exist already:
    // where the key is missing the change cannot happen, and nothing is written.
    RegistryBackup& Value(HKEY root, const wchar_t* path, const wchar_t* name, REGSAM view = 0);

    // The same, for a change that creates the key when it is missing: then the deletion of the
    // first missing key on the path is written.
    RegistryBackup& ValueOfKeyToCreate(HKEY root, const wchar_t* path, const wchar_t* name, REGSAM view = 0);

    // Writes the file into the backup folder (store.h), complete and flushed. 0; otherwise the
    // first error met reading the registry (ERROR_INVALID_NAME for a name a .reg file cannot
    // hold) or writing the file, and then no file is left. `saved` gets the file's path.
    DWORD Save(std::wstring* saved = nullptr);

    // The keys given to Tree, in call order, as they were opened for the backup: the key itself (a
    // link not followed), with the right to delete it where that was granted; empty for a key that
    // was not there. A change that deletes them can do so through these very handles after Save,
    // so that what it deletes is what was written, and without opening each key again.
    std::vector<UniqueRegKey>& Trees() { return trees_; }

private:
    struct Opened {
        HKEY root = nullptr;  // a root, not to be closed
        UniqueRegKey key;     // or a key of ours
        std::u16string realPath;
        HKEY handle() const { return root ? root : key.get(); }
    };
    // A key opened for reading (links followed) and its real path, kept for the whole backup.
    const Opened* OpenKey(HKEY root, const std::wstring& path, REGSAM view, LONG& error);
    void AddValue(HKEY root, const wchar_t* path, const wchar_t* name, REGSAM view, bool keyMayBeCreated);
    void ExportTree(HKEY key, const std::u16string& realPath, int depth);
    void Fail(LONG error);
    RegSection& SectionFor(const std::u16string& realPath);

    std::wstring what_;
    std::vector<RegSection> sections_;
    std::vector<UniqueRegKey> trees_;
    DWORD error_ = 0;
    std::map<std::tuple<HKEY, REGSAM, std::wstring>, Opened> opened_;
};

}  // namespace lark::backup
