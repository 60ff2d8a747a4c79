// An INI file as its lines, so that an edit changes one line and leaves every other byte as it
// was: comments, other groups, lines that are no INI at all, even binary junk.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace linuxsvc {

class IniDocument {
  public:
    static IniDocument Parse(std::string_view bytes);
    std::string Serialize() const;

    // Group and key names match without regard to ASCII case; the first match wins.
    bool HasGroup(std::string_view group) const;
    // The value text after the '=' of the key, as it stands in the file.
    std::optional<std::string_view> Find(std::string_view group, std::string_view key) const;

    // Appends an empty group under this name.
    void AddGroup(std::string_view group);
    // Replaces the value of the key, keeping the name as it was first written; or adds the key
    // to the group, and the group to the file, under the names given here.
    void Set(std::string_view group, std::string_view key, std::string_view value);

    // Whether a name can stand in the file as a group or key and be read back as itself.
    static bool IsStorableGroupName(std::string_view name);
    static bool IsStorableKeyName(std::string_view name);

  private:
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

    std::size_t FindKeyLine(std::string_view group, std::string_view key) const;
    std::size_t FindGroupLine(std::string_view group) const;
    void InsertLine(std::size_t at, std::string text);

    std::vector<std::string> m_lines;
    bool m_endsWithNewline = false;
};

}  // namespace linuxsvc
