#include "fake_store.h"

#include <cctype>

namespace fake {

bool SameName(std::string_view left, std::string_view right) {
    if (left.size() != right.size()) return false;
    for (std::size_t i = 0; i < left.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(left[i])) !=
            std::tolower(static_cast<unsigned char>(right[i]))) {
            return false;
        }
    }
    return true;
}

SettingsStore::SettingsStore() {
    // The per-user root always has "Software"; the program only opens it.
    auto software = std::make_unique<Key>();
    software->name = "Software";
    m_root.subkeys.push_back(std::move(software));
}

std::vector<std::string_view> SettingsStore::Split(std::string_view path) {
    std::vector<std::string_view> levels;
    while (!path.empty()) {
        const std::size_t slash = path.find('\\');
        levels.push_back(path.substr(0, slash));
        if (slash == std::string_view::npos) break;
        path.remove_prefix(slash + 1);
    }
    return levels;
}

SettingsStore::Key* SettingsStore::FindSubkey(const Key& key, std::string_view name) {
    for (const auto& subkey : key.subkeys) {
        if (SameName(subkey->name, name)) return subkey.get();
    }
    return nullptr;
}

SettingsStore::Key* SettingsStore::Descend(Key& from, const std::vector<std::string_view>& levels,
                                           std::size_t first) {
    Key* key = &from;
    for (std::size_t i = first; i < levels.size(); ++i) {
        Key* next = FindSubkey(*key, levels[i]);
        if (next == nullptr) {
            key->subkeys.push_back(std::make_unique<Key>());
            next = key->subkeys.back().get();
            next->name = std::string(levels[i]);
        }
        key = next;
    }
    return key;
}

SettingsStore::Key* SettingsStore::OpenForAccess(std::string_view path) {
    if (m_unreachable) return nullptr;
    const std::vector<std::string_view> levels = Split(path);
    if (levels.empty()) return nullptr;
    Key* top = FindSubkey(m_root, levels.front());
    return top ? Descend(*top, levels, 1) : nullptr;
}

const SettingsStore::Value* SettingsStore::FindValue(const Key& key, std::string_view name) {
    for (const Value& value : key.values) {
        if (SameName(value.name, name)) return &value;
    }
    return nullptr;
}

void SettingsStore::Put(Key& key, std::string_view name, Type type, std::int32_t number,
                        std::string_view text) {
    Value* value = nullptr;
    for (Value& existing : key.values) {
        if (SameName(existing.name, name)) value = &existing;
    }
    if (value == nullptr) {
        key.values.push_back({std::string(name), type, 0, {}});
        value = &key.values.back();
    }
    value->type = type;
    value->number = type == Type::Integer ? number : 0;
    value->text = type == Type::Text ? std::string(text) : std::string();
}

void SettingsStore::Remove(Key& key, std::string_view name) {
    std::erase_if(key.values, [&](const Value& value) { return SameName(value.name, name); });
}

void SettingsStore::PutInt(std::string_view path, std::string_view name, std::int32_t value) {
    Put(*Descend(m_root, Split(path), 0), name, Type::Integer, value, {});
}

void SettingsStore::PutText(std::string_view path, std::string_view name, std::string_view value) {
    Put(*Descend(m_root, Split(path), 0), name, Type::Text, 0, value);
}

const SettingsStore::Key* SettingsStore::Find(std::string_view path) const {
    const Key* key = &m_root;
    for (std::string_view level : Split(path)) {
        key = FindSubkey(*key, level);
        if (key == nullptr) return nullptr;
    }
    return key;
}

std::vector<std::string> SettingsStore::StoredNames(std::string_view path) const {
    std::vector<std::string> names;
    const Key* key = &m_root;
    for (std::string_view level : Split(path)) {
        key = FindSubkey(*key, level);
        if (key == nullptr) return {};
        names.push_back(key->name);
    }
    return names;
}

std::optional<std::int32_t> SettingsStore::Int(std::string_view path, std::string_view name) const {
    const Key* key = Find(path);
    const Value* value = key ? FindValue(*key, name) : nullptr;
    if (value == nullptr || value->type != Type::Integer) return std::nullopt;
    return value->number;
}

std::optional<std::string> SettingsStore::Text(std::string_view path, std::string_view name) const {
    const Key* key = Find(path);
    const Value* value = key ? FindValue(*key, name) : nullptr;
    if (value == nullptr || value->type != Type::Text) return std::nullopt;
    return value->text;
}

}  // namespace fake
