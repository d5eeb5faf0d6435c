// The table of the fourteen open commands that the file-associations page and the fast check
// check, and the routines that check, list and repair them.
#pragma once

#include <windows.h>

#include <cstddef>
#include <functional>

#include "repair/results.h"

struct FileAssociation {
    const wchar_t* displayName;
    const wchar_t* extension;
    const wchar_t* commandKey;  // below HKEY_CLASSES_ROOT; its default value is the open command
    const wchar_t* command;     // what a clean installation holds
};

inline constexpr std::size_t kFileAssociationCount = 14;
extern const FileAssociation FileAssociationTable[kFileAssociationCount];

// Receives one listed entry: display name, extension, the value as read, the displayed key path
// and whether the entry is correct (non-zero).
using AssociationSink =
    std::function<void(const wchar_t* name, const wchar_t* extension, const wchar_t* value,
                       const wchar_t* keyPath, int correct)>;

// The text a row shows in its state column: "正确" for a correct entry (non-zero), "错误" otherwise.
const wchar_t* AssociationStateText(int correct);

// 0 only when the command key opens, its default value reads (at most 259 characters) and the
// value, with a leading system folder written as its environment string, differs from the
// expected command ignoring case; 1 otherwise.
int IsAssociationCorrect(const wchar_t* expected, const wchar_t* commandKey);
// 1 when every entry is correct. The text gets the extensions of the wrong entries in table order,
// each followed by "、" (empty when all are correct); it is cut to capacity - 1 characters.
int CheckFileAssociations(wchar_t* text, std::size_t capacity);
// Creates the command key below HKEY_CLASSES_ROOT when missing and sets its default value
// (REG_EXPAND_SZ), after a backup of the old value ("文件关联 <class>"). 1 on success, 0 on failure,
// also when the backup cannot be written (then nothing is changed).
int WriteOpenCommand(const wchar_t* commandKey, const wchar_t* command);
// Writes the expected command of the entry whose extension matches (ignoring case); 0 when none does.
int RepairFileAssociation(const wchar_t* extension);
// Hands one row per readable entry to the sink. 0, or kNoSink when the sink is empty.
DWORD ListFileAssociations(const AssociationSink& sink);
