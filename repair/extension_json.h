// What the browsers' extension data says, read from its text: identifiers, force-list entries, the
// ExtensionSettings policy (one JSON object), and the name in an installed copy's manifest and
// messages. Pure text work: no Windows header, built in both presets. JSON is read with RapidJSON's
// iterative reader, so that no nesting depth reaches the call stack; nothing here throws.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// An extension identifier: exactly 32 letters a to p, in either case (the browsers read them
// ignoring case).
bool IsExtensionId(std::u16string_view text);

// One value of an ExtensionInstallForcelist list: "<id>;<update URL>" or "<id>" alone (split at the
// first semicolon). Nothing when the part before it is not an extension identifier.
struct ForceListEntry {
    std::u16string id;
    std::u16string updateUrl;  // empty when there is none
};
std::optional<ForceListEntry> ParseForceListEntry(std::u16string_view text);

// A value name that a registry list counts as one of its items: an optional sign and decimal digits
// that make a number of 32 bits ("1", "2", ...).
bool IsListItemName(std::u16string_view name);

// One member of an ExtensionSettings object: its key and the two strings of its value that say what
// the browser does with it.
struct SettingsMember {
    std::u16string key;
    std::u16string installationMode;  // "installation_mode" when it is a string, else empty
    std::u16string updateUrl;         // "update_url" when it is a string, else empty
    // Installed without the user: "force_installed" or "normal_installed".
    bool Installs() const;
};

// The members of an ExtensionSettings text in their order (a key may come more than once). The text
// ends at its first NUL, as a registry string does. Nothing when it is not valid JSON (UTF-16 with
// its surrogates paired) or not an object whose members are all objects.
std::optional<std::vector<SettingsMember>> ReadExtensionSettings(std::u16string_view text);

// The same text without member `index` (counted as ReadExtensionSettings lists them) and the comma
// that parted it from its neighbour; every other character stays as it stood, so what is left is
// the same object less that member. Nothing when ReadExtensionSettings gives nothing for the text
// or the member is not there.
std::optional<std::u16string> RemoveSettingsMember(std::u16string_view text, std::size_t index);

// The top-level "name" and "default_locale" strings of a manifest.json (UTF-8, with or without a
// byte-order mark). Nothing when the text is not valid JSON or not an object, or holds no name
// string; the locale is empty when it is missing, not a string, or not a plain folder name (letters,
// digits, '_' and '-', at most 20 of them).
struct ManifestName {
    std::u16string name;
    std::u16string defaultLocale;
};
std::optional<ManifestName> ReadManifestName(std::string_view utf8);

// The "message" string of the named message in a messages.json (UTF-8, with or without a byte-order
// mark); message names are matched ignoring ASCII case, and of several matches the last counts.
// Nothing when the text does not parse or has no such message.
std::optional<std::u16string> ReadMessage(std::string_view utf8, std::u16string_view messageName);

// The name with every "__MSG_<message name>__" in it replaced by what `lookup` finds for that
// message. Nothing when a message is not found. A name without such references comes back as it is.
std::optional<std::u16string> ResolveMessageReferences(
    std::u16string_view name, const std::function<std::optional<std::u16string>(std::u16string_view)>& lookup);
