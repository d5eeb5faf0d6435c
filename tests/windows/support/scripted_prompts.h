// A prompts responder for tests: records every request and answers from a script.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "framework/prompts.h"

namespace test {

class ScriptedPrompts : public lark::prompts::Responder {
public:
    ScriptedPrompts();   // installs itself
    ~ScriptedPrompts() override;  // puts back what was installed before

    // Answers, taken in order; when a queue is empty: IDOK, no menu command, cancelled dialogs.
    std::deque<int> messageBoxAnswers;
    std::deque<UINT> menuChoices;
    std::deque<std::wstring> saveAsPaths;   // an empty text means "cancelled"
    std::deque<std::wstring> folderPaths;   // an empty text means "cancelled"
    std::deque<int> saveAsFilters;          // the filter chosen with each Save As (1 when empty)

    std::vector<lark::prompts::Request> requests;

    // The message boxes shown so far, as "caption|text".
    std::vector<std::wstring> Messages() const;
    const lark::prompts::Request* LastMenu() const;
    // Whether the last pop-up menu had the item enabled (false when it was missing).
    bool LastMenuEnabled(UINT id) const;

    int Message(const lark::prompts::Request& request) override;
    UINT PopupMenu(const lark::prompts::Request& request) override;
    bool SaveAs(const lark::prompts::Request& request, std::wstring& path) override;
    bool BrowseFolder(const lark::prompts::Request& request, std::wstring& path) override;
    bool SaveAsWithFilter(const lark::prompts::Request& request, std::wstring& path, int& filterIndex) override;

private:
    lark::prompts::Responder* previous_;
};

}  // namespace test
