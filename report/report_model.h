// One report of what the routines see: the facts of its header and one section per tab, in the
// order of the tabs, each entry with the texts its page shows. The text and the JSON report are
// both written from it, so they cannot disagree. Plain data: no Windows header, built in both
// presets.
#pragma once

#include <string>
#include <variant>
#include <vector>

namespace report {

// A fact of the report or of a section: its JSON name, its label in the text report and its value.
struct Fact {
    std::string key;
    std::wstring label;
    std::variant<bool, long long, std::wstring> value;
};

// A field of a section's entries: its JSON name and its heading in the text report.
struct Column {
    std::string key;
    std::wstring heading;
};

struct Section {
    std::string key;     // JSON name
    std::wstring title;  // the tab's caption
    std::vector<Fact> facts;
    std::vector<Column> columns;
    std::vector<std::vector<std::wstring>> entries;  // one text per column, in column order
};

struct Report {
    std::vector<Fact> facts;
    std::vector<Section> sections;
};

}  // namespace report
