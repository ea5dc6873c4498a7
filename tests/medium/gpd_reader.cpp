#include "gpd_reader.h"

#include <cctype>
#include <charconv>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && (IsBlank(s.front()) || s.front() == '\n'))
        s.remove_prefix(1);
    while (!s.empty() && (IsBlank(s.back()) || s.back() == '\n'))
        s.remove_suffix(1);
    return s;
}

std::string At(int line, std::string_view what)
{
    return "line " + std::to_string(line) + ": " + std::string(what);
}

class Reader {
public:
    explicit Reader(std::string_view text) : text_(text) {}

    GpdFile Read()
    {
        GpdFile file;
        std::vector<std::vector<GpdEntry>*> levels{&file.root};
        // The line of each '{' still open, and whether it opened an entry's block.
        std::vector<std::pair<int, bool>> opened;
        GpdEntry* last = nullptr;  // the entry that a following '{' opens
        while (SkipSpace()) {
            if (text_.substr(pos_, 2) == "*%") {
                SkipLine();
            } else if (text_[pos_] == '{') {
                if (last == nullptr)
                    file.faults.push_back(At(line_, "'{' follows no entry"));
                else
                    levels.push_back(&last->children);
                opened.emplace_back(line_, last != nullptr);
                last = nullptr;
                ++pos_;
            } else if (text_[pos_] == '}') {
                if (opened.empty()) {
                    file.faults.push_back(At(line_, "'}' closes no block"));
                } else {
                    if (opened.back().second)
                        levels.pop_back();
                    opened.pop_back();
                }
                last = nullptr;
                ++pos_;
            } else {
                GpdEntry entry;
                if (ReadEntry(entry, file.faults)) {
                    levels.back()->push_back(std::move(entry));
                    last = &levels.back()->back();
                } else {
                    last = nullptr;
                }
            }
        }
        for (const auto& [line, level] : opened)
            file.faults.push_back(At(line, "'{' is never closed"));
        return file;
    }

private:
    // Skips blanks and line ends; false at the end of the text.
    bool SkipSpace()
    {
        while (pos_ < text_.size() && (IsBlank(text_[pos_]) || text_[pos_] == '\n')) {
            if (text_[pos_] == '\n')
                ++line_;
            ++pos_;
        }
        return pos_ < text_.size();
    }

    void SkipLine()
    {
        while (pos_ < text_.size() && text_[pos_] != '\n')
            ++pos_;
    }

    // "[*]Keyword: value", the value ending at the line's end, at a brace or at a comment.
    bool ReadEntry(GpdEntry& entry, std::vector<std::string>& faults)
    {
        entry.line = line_;
        size_t start = pos_;
        if (text_[pos_] == '*')
            ++pos_;
        size_t nameStart = pos_;
        while (pos_ < text_.size() && text_[pos_] != ':' && text_[pos_] != '\n' &&
               text_[pos_] != '{' && text_[pos_] != '}')
            ++pos_;
        if (pos_ >= text_.size() || text_[pos_] != ':') {
            faults.push_back(At(line_, "not an entry: " +
                                           std::string(Trim(text_.substr(start, pos_ - start)))));
            return false;
        }
        entry.keyword = std::string(Trim(text_.substr(nameStart, pos_ - nameStart)));
        ++pos_;

        size_t valueStart = pos_;
        bool quoted = false;
        while (pos_ < text_.size() && text_[pos_] != '\n') {
            char c = text_[pos_];
            if (c == '"') {
                quoted = !quoted;
            } else if (!quoted && (c == '{' || c == '}' || text_.substr(pos_, 2) == "*%")) {
                break;
            } else if (!quoted && c == '%') {
                // A command parameter: %c[0,255]{Name}. Its braces are not a block's.
                ++pos_;
                while (pos_ < text_.size() && std::isalpha(static_cast<unsigned char>(text_[pos_])))
                    ++pos_;
                if (!SkipGroup('[', ']') || !SkipGroup('{', '}')) {
                    faults.push_back(At(line_, "a command parameter is not closed"));
                    SkipLine();
                    return false;
                }
                continue;
            }
            ++pos_;
        }
        if (quoted)
            faults.push_back(At(line_, "a quoted string is not closed"));
        entry.value = std::string(Trim(text_.substr(valueStart, pos_ - valueStart)));
        return true;
    }

    // Skips "<open>...<close>" when it starts here, on one line; false when it does not close.
    bool SkipGroup(char open, char close)
    {
        if (pos_ >= text_.size() || text_[pos_] != open)
            return true;
        while (pos_ < text_.size() && text_[pos_] != '\n') {
            if (text_[pos_++] == close)
                return true;
        }
        return false;
    }

    std::string_view text_;
    size_t pos_ = 0;
    int line_ = 1;
};

std::optional<long> ParseNumber(std::string_view s)
{
    s = Trim(s);
    long value = 0;
    auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (error != std::errc() || end != s.data() + s.size())
        return std::nullopt;
    return value;
}

}  // namespace

GpdFile ReadGpd(std::string_view text) { return Reader(text).Read(); }

std::vector<const GpdEntry*> FindEntries(const std::vector<GpdEntry>& entries,
                                         std::string_view keyword,
                                         std::optional<std::string_view> value)
{
    std::vector<const GpdEntry*> found;
    for (const GpdEntry& entry : entries) {
        if (entry.keyword == keyword && (!value || entry.value == *value))
            found.push_back(&entry);
    }
    return found;
}

const GpdEntry* FindEntry(const std::vector<GpdEntry>& entries, std::string_view keyword,
                          std::optional<std::string_view> value)
{
    auto found = FindEntries(entries, keyword, value);
    return found.empty() ? nullptr : found.front();
}

std::optional<std::pair<long, long>> ParsePair(std::string_view value)
{
    value = Trim(value);
    if (!value.starts_with("PAIR(") || !value.ends_with(")"))
        return std::nullopt;
    value = value.substr(5, value.size() - 6);
    size_t comma = value.find(',');
    if (comma == std::string_view::npos)
        return std::nullopt;
    auto x = ParseNumber(value.substr(0, comma));
    auto y = ParseNumber(value.substr(comma + 1));
    if (!x || !y)
        return std::nullopt;
    return std::pair{*x, *y};
}

std::optional<std::string> ParseQuoted(std::string_view value)
{
    value = Trim(value);
    if (value.size() < 2 || value.front() != '"' || value.back() != '"')
        return std::nullopt;
    value = value.substr(1, value.size() - 2);
    if (value.find('"') != std::string_view::npos)
        return std::nullopt;
    return std::string(value);
}

std::optional<std::string> CommandBytes(std::string_view value)
{
    std::string bytes;
    bool quoted = false;
    for (size_t i = 0; i < value.size(); ++i) {
        char c = value[i];
        if (c == '"') {
            quoted = !quoted;
        } else if (quoted && c == '<') {
            size_t end = value.find('>', i);
            if (end == std::string_view::npos)
                return std::nullopt;
            std::string digits;
            for (char d : value.substr(i + 1, end - i - 1)) {
                if (std::isxdigit(static_cast<unsigned char>(d)))
                    digits += d;
                else if (!IsBlank(d))
                    return std::nullopt;
            }
            if (digits.size() % 2 != 0)
                return std::nullopt;
            for (size_t k = 0; k < digits.size(); k += 2)
                bytes += static_cast<char>(std::stoi(digits.substr(k, 2), nullptr, 16));
            i = end;
        } else if (quoted) {
            bytes += c;
        }
    }
    if (quoted)
        return std::nullopt;
    return bytes;
}
