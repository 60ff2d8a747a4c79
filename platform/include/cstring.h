// Counted, reference-shared 8-bit text.
//
// A CString shares one immutable buffer with its copies; changing a CString gives it a buffer of
// its own. Copies can therefore be handed between threads freely, and CSharedString swaps a whole
// text atomically where two threads meet.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <string_view>

class CString {
public:
    CString();
    CString(const char* text);  // NOLINT: converts as the framework's text type does
    CString(const char* text, int length);
    CString(std::string_view text);  // NOLINT

    int GetLength() const { return static_cast<int>(m_text->size()); }
    bool IsEmpty() const { return m_text->empty(); }
    operator const char*() const { return m_text->c_str(); }  // NOLINT
    const char* GetString() const { return m_text->c_str(); }
    std::string_view View() const { return *m_text; }
    char operator[](int index) const { return (*m_text)[static_cast<std::size_t>(index)]; }

    CString& operator=(const char* text);
    CString& operator+=(const CString& other);
    void Empty();

    // printf-style formatting into this text.
    void Format(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // Loads a string resource; false (and empty text) when it does not exist.
    bool LoadString(unsigned int id);

    friend CString operator+(const CString& left, const CString& right);
    friend bool operator==(const CString& left, const CString& right) {
        return *left.m_text == *right.m_text;
    }
    friend bool operator==(const CString& left, const char* right) {
        return *left.m_text == (right ? right : "");
    }

    // How many CStrings share this one's buffer: for tests of the sharing itself.
    long ShareCount() const { return m_text.use_count(); }

private:
    friend class CSharedString;
    explicit CString(std::shared_ptr<const std::string> text) : m_text(std::move(text)) {}
    std::shared_ptr<const std::string> m_text;
};

// A text that one thread replaces while another copies it: each load sees one whole text. The
// lock covers only the swap of the reference, never the text, so neither side waits for long.
// (libstdc++ 12's atomic shared_ptr would do as much, but releases its lock too weakly for the
// thread sanitizer to prove it.)
class CSharedString {
public:
    CSharedString() : m_text(CString().m_text) {}
    CString Load() const {
        std::lock_guard<std::mutex> hold(m_lock);
        return CString(m_text);
    }
    void Store(const CString& text) {
        std::shared_ptr<const std::string> replaced = text.m_text;
        std::lock_guard<std::mutex> hold(m_lock);
        m_text.swap(replaced);  // the old text is released after the lock, by `replaced`
    }
    CSharedString& operator=(const CString& text) {
        Store(text);
        return *this;
    }
    operator CString() const { return Load(); }  // NOLINT

private:
    mutable std::mutex m_lock;
    std::shared_ptr<const std::string> m_text;
};
