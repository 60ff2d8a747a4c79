// The settings store in memory, with the rules of the per-user registry that the profile
// functions reach: a tree of keys, names matched without regard to case, each name keeping the
// case of its creation, typed values.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fake {

class SettingsStore {
  public:
    enum class Type { Text, Integer };
    struct Value {
        std::string name;
        Type type;
        std::int32_t number = 0;
        std::string text;
    };
    struct Key {
        std::string name;
        std::vector<std::unique_ptr<Key>> subkeys;
        std::vector<Value> values;
    };

    SettingsStore();

    // A store that cannot be reached: reads give their defaults and writes are lost, silently.
    void SetUnreachable(bool unreachable) { m_unreachable = unreachable; }
    bool Unreachable() const { return m_unreachable; }

    // ---- As the profile functions use it. `path` is below the user root, levels split by '\'.
    // Every call creates the missing keys below the first level, which is only opened.
    // Null when the path cannot be opened.
    Key* OpenForAccess(std::string_view path);
    static const Value* FindValue(const Key& key, std::string_view name);
    // Sets a value; a new value takes the given name's case, an existing one keeps its own.
    static void Put(Key& key, std::string_view name, Type type, std::int32_t number,
                    std::string_view text);

    static void Remove(Key& key, std::string_view name);

    // ---- For tests: what a previous run left, and what is there now.
    void PutInt(std::string_view path, std::string_view name, std::int32_t value);
    void PutText(std::string_view path, std::string_view name, std::string_view value);
    const Key* Find(std::string_view path) const;
    // The names along a path as the store keeps them; empty when the path does not exist.
    std::vector<std::string> StoredNames(std::string_view path) const;
    std::optional<std::int32_t> Int(std::string_view path, std::string_view name) const;
    std::optional<std::string> Text(std::string_view path, std::string_view name) const;

  private:
    static std::vector<std::string_view> Split(std::string_view path);
    static Key* FindSubkey(const Key& key, std::string_view name);
    // Walks from `from` along levels[first...], creating what is missing.
    static Key* Descend(Key& from, const std::vector<std::string_view>& levels, std::size_t first);

    Key m_root;
    bool m_unreachable = false;
};

// Compares names as the registry does: without regard to ASCII letter case.
bool SameName(std::string_view left, std::string_view right);

}  // namespace fake
