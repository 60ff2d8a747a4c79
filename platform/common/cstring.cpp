#include "cstring.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

#include "dialog_template.h"

namespace {
const std::shared_ptr<const std::string>& EmptyText() {
    static const auto empty = std::make_shared<const std::string>();
    return empty;
}
}  // namespace

CString::CString() : m_text(EmptyText()) {}

CString::CString(const char* text)
    : m_text(text && *text ? std::make_shared<const std::string>(text) : EmptyText()) {}

CString::CString(const char* text, int length)
    : m_text(text && length > 0
                 ? std::make_shared<const std::string>(text, static_cast<std::size_t>(length))
                 : EmptyText()) {}

CString::CString(std::string_view text)
    : m_text(text.empty() ? EmptyText() : std::make_shared<const std::string>(text)) {}

CString& CString::operator=(const char* text) {
    *this = CString(text);
    return *this;
}

CString& CString::operator+=(const CString& other) {
    *this = *this + other;
    return *this;
}

void CString::Empty() { m_text = EmptyText(); }

CString operator+(const CString& left, const CString& right) {
    if (right.IsEmpty()) return left;
    if (left.IsEmpty()) return right;
    std::string joined;
    joined.reserve(left.m_text->size() + right.m_text->size());
    joined.append(*left.m_text).append(*right.m_text);
    return CString(std::make_shared<const std::string>(std::move(joined)));
}

void CString::Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list measure;
    va_copy(measure, args);
    const int length = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (length <= 0) {
        va_end(args);
        Empty();
        return;
    }
    std::vector<char> buffer(static_cast<std::size_t>(length) + 1);
    std::vsnprintf(buffer.data(), buffer.size(), format, args);
    va_end(args);
    *this = CString(buffer.data(), length);
}

bool CString::LoadString(unsigned int id) {
    const char* text = AfxFindStringResource(id);
    *this = CString(text);
    return text != nullptr;
}
