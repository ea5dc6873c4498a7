// A reader of the printer model description format (.gpd) that the universal printer driver
// takes: enough of it to check the structure of the files on the setup medium.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// One entry "*Keyword: value", with the entries of the braced block that follows it, if any.
// Inside a *Macros block the entries have no '*'; they are read the same way.
struct GpdEntry {
    std::string keyword;  // without the '*'
    std::string value;    // the text after the colon, trimmed, without a trailing comment
    int line = 0;
    std::vector<GpdEntry> children;
};

struct GpdFile {
    std::vector<GpdEntry> root;
    std::vector<std::string> faults;  // structural faults, each with its line
};

GpdFile ReadGpd(std::string_view text);

// The entries of <entries> (one level, not below) with this keyword, optionally with this value.
std::vector<const GpdEntry*> FindEntries(const std::vector<GpdEntry>& entries,
                                         std::string_view keyword,
                                         std::optional<std::string_view> value = std::nullopt);
const GpdEntry* FindEntry(const std::vector<GpdEntry>& entries, std::string_view keyword,
                          std::optional<std::string_view> value = std::nullopt);

// "PAIR(x, y)" as two numbers.
std::optional<std::pair<long, long>> ParsePair(std::string_view value);
// The text of a value that is one quoted string.
std::optional<std::string> ParseQuoted(std::string_view value);
// The fixed bytes of a command value: its quoted parts, with <hex> groups decoded. The
// parameters between them (%c{...} and the like) vary per use and are left out.
std::optional<std::string> CommandBytes(std::string_view value);
