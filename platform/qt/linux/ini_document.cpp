#include "ini_document.h"

#include "ini_value.h"

namespace linuxsvc {
namespace {

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

// The name of a group header line, or nothing when the line is none.
std::optional<std::string_view> GroupOfLine(std::string_view line) {
    line = TrimBlanks(line);
    if (line.size() < 2 || line.front() != '[' || line.back() != ']') return std::nullopt;
    return TrimBlanks(line.substr(1, line.size() - 2));
}

struct KeyLine {
    std::string_view name;
    std::string_view value;
};

std::optional<KeyLine> KeyOfLine(std::string_view line) {
    const std::string_view trimmed = TrimBlanks(line);
    if (trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '#') return std::nullopt;
    if (GroupOfLine(line)) return std::nullopt;
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) return std::nullopt;
    const std::string_view name = TrimBlanks(line.substr(0, equals));
    if (name.empty()) return std::nullopt;
    return KeyLine{name, line.substr(equals + 1)};
}

bool HasOnlyPrintableBytes(std::string_view name) {
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) return false;
    }
    return true;
}

}  // namespace

IniDocument IniDocument::Parse(std::string_view bytes) {
    IniDocument document;
    std::size_t start = 0;
    while (start < bytes.size()) {
        const std::size_t end = bytes.find('\n', start);
        if (end == std::string_view::npos) {
            document.m_lines.emplace_back(bytes.substr(start));
            return document;
        }
        document.m_lines.emplace_back(bytes.substr(start, end - start));
        start = end + 1;
    }
    document.m_endsWithNewline = !bytes.empty();
    return document;
}

std::string IniDocument::Serialize() const {
    std::string bytes;
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        if (i > 0) bytes += '\n';
        bytes += m_lines[i];
    }
    if (m_endsWithNewline) bytes += '\n';
    return bytes;
}

std::size_t IniDocument::FindGroupLine(std::string_view group) const {
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        const auto name = GroupOfLine(m_lines[i]);
        if (name && SameName(*name, group)) return i;
    }
    return kNone;
}

std::size_t IniDocument::FindKeyLine(std::string_view group, std::string_view key) const {
    bool inGroup = false;
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        if (const auto name = GroupOfLine(m_lines[i])) {
            inGroup = SameName(*name, group);
            continue;
        }
        if (!inGroup) continue;
        const auto line = KeyOfLine(m_lines[i]);
        if (line && SameName(line->name, key)) return i;
    }
    return kNone;
}

bool IniDocument::HasGroup(std::string_view group) const {
    return FindGroupLine(group) != kNone;
}

std::optional<std::string_view> IniDocument::Find(std::string_view group,
                                                  std::string_view key) const {
    const std::size_t at = FindKeyLine(group, key);
    if (at == kNone) return std::nullopt;
    return KeyOfLine(m_lines[at])->value;
}

void IniDocument::InsertLine(std::size_t at, std::string text) {
    if (at >= m_lines.size()) m_endsWithNewline = true;
    m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(at), std::move(text));
}

void IniDocument::AddGroup(std::string_view group) {
    if (!m_lines.empty() && !TrimBlanks(m_lines.back()).empty()) InsertLine(m_lines.size(), "");
    InsertLine(m_lines.size(), "[" + std::string(group) + "]");
}

void IniDocument::Set(std::string_view group, std::string_view key, std::string_view value) {
    const std::size_t existing = FindKeyLine(group, key);
    if (existing != kNone) {
        std::string& line = m_lines[existing];
        const bool carriageReturn = !line.empty() && line.back() == '\r';
        std::string replaced = std::string(KeyOfLine(line)->name) + "=" + std::string(value);
        if (carriageReturn) replaced += '\r';
        line = std::move(replaced);
        return;
    }
    std::size_t header = FindGroupLine(group);
    if (header == kNone) {
        AddGroup(group);
        header = m_lines.size() - 1;
    }
    // After the group's last key, so that comments and blank lines before the next group stay
    // with that group.
    std::size_t insertAt = header + 1;
    for (std::size_t i = header + 1; i < m_lines.size() && !GroupOfLine(m_lines[i]); ++i) {
        if (KeyOfLine(m_lines[i])) insertAt = i + 1;
    }
    InsertLine(insertAt, std::string(key) + "=" + std::string(value));
}

bool IniDocument::IsStorableGroupName(std::string_view name) {
    return !name.empty() && TrimBlanks(name) == name && HasOnlyPrintableBytes(name) &&
           name.find_first_of("[]") == std::string_view::npos;
}

bool IniDocument::IsStorableKeyName(std::string_view name) {
    return !name.empty() && TrimBlanks(name) == name && HasOnlyPrintableBytes(name) &&
           name.find_first_of("=[]") == std::string_view::npos && name.front() != ';' &&
           name.front() != '#';
}

}  // namespace linuxsvc
