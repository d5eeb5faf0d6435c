#include "support/scripted_prompts.h"

namespace test {

using lark::prompts::Request;

ScriptedPrompts::ScriptedPrompts() : previous_(lark::prompts::SetResponder(this)) {}
ScriptedPrompts::~ScriptedPrompts() { lark::prompts::SetResponder(previous_); }

std::vector<std::wstring> ScriptedPrompts::Messages() const {
    std::vector<std::wstring> shown;
    for (const auto& r : requests) {
        if (r.kind == Request::Kind::Message) shown.push_back(r.caption + L"|" + r.text);
    }
    return shown;
}

const Request* ScriptedPrompts::LastMenu() const {
    for (auto it = requests.rbegin(); it != requests.rend(); ++it) {
        if (it->kind == Request::Kind::PopupMenu) return &*it;
    }
    return nullptr;
}

bool ScriptedPrompts::LastMenuEnabled(UINT id) const {
    const Request* menu = LastMenu();
    if (!menu) return false;
    for (const auto& item : menu->menu) {
        if (item.id == id) return item.enabled;
    }
    return false;
}

int ScriptedPrompts::Message(const Request& request) {
    requests.push_back(request);
    if (messageBoxAnswers.empty()) return IDOK;
    const int answer = messageBoxAnswers.front();
    messageBoxAnswers.pop_front();
    return answer;
}

UINT ScriptedPrompts::PopupMenu(const Request& request) {
    requests.push_back(request);
    if (menuChoices.empty()) return 0;
    const UINT choice = menuChoices.front();
    menuChoices.pop_front();
    return choice;
}

static bool Take(std::deque<std::wstring>& queue, std::wstring& path) {
    if (queue.empty()) return false;
    path = queue.front();
    queue.pop_front();
    return !path.empty();
}

bool ScriptedPrompts::SaveAs(const Request& request, std::wstring& path) {
    requests.push_back(request);
    return Take(saveAsPaths, path);
}

bool ScriptedPrompts::SaveAsWithFilter(const Request& request, std::wstring& path, int& filterIndex) {
    filterIndex = 1;
    if (!saveAsFilters.empty()) {
        filterIndex = saveAsFilters.front();
        saveAsFilters.pop_front();
    }
    return SaveAs(request, path);
}

bool ScriptedPrompts::BrowseFolder(const Request& request, std::wstring& path) {
    requests.push_back(request);
    return Take(folderPaths, path);
}

}  // namespace test
