#include "dialog_template_builder.h"

#include <cstring>

#include "native_layout.h"

namespace win32 {
namespace {
constexpr std::uint16_t kOrdinalMarker = 0xFFFF;
constexpr std::uint16_t kNoMenuOrClass = 0;
}  // namespace

std::vector<std::uint32_t> DialogTemplateBuilder::Build(const DialogTemplate& dialog) {
    DialogTemplateBuilder builder(dialog);
    if (dialog.extended) {
        builder.WriteExtended();
    } else {
        builder.WriteClassic();
    }
    // Handed out as double words: the system wants the template aligned to them.
    std::vector<std::uint32_t> words((builder.m_bytes.size() + 3) / 4);
    std::memcpy(words.data(), builder.m_bytes.data(), builder.m_bytes.size());
    return words;
}

void DialogTemplateBuilder::WriteClassic() {
    DoubleWord(m_dialog.style & ~win::WS_VISIBLE);
    DoubleWord(m_dialog.exStyle);
    Word(static_cast<std::uint16_t>(m_dialog.items.size()));
    Word(static_cast<std::uint16_t>(m_dialog.x));
    Word(static_cast<std::uint16_t>(m_dialog.y));
    Word(static_cast<std::uint16_t>(m_dialog.cx));
    Word(static_cast<std::uint16_t>(m_dialog.cy));
    Word(kNoMenuOrClass);
    Word(kNoMenuOrClass);
    Text(m_dialog.caption);
    if (m_dialog.style & win::DS_SETFONT) {
        Word(static_cast<std::uint16_t>(m_dialog.pointSize));
        Text(m_dialog.typeface);
    }
    for (const DialogItemTemplate& item : m_dialog.items) WriteClassicItem(item);
}

void DialogTemplateBuilder::WriteExtended() {
    Word(1);               // template version
    Word(kOrdinalMarker);  // marks the extended form
    DoubleWord(0);         // help identifier
    DoubleWord(m_dialog.exStyle);
    DoubleWord(m_dialog.style & ~win::WS_VISIBLE);
    Word(static_cast<std::uint16_t>(m_dialog.items.size()));
    Word(static_cast<std::uint16_t>(m_dialog.x));
    Word(static_cast<std::uint16_t>(m_dialog.y));
    Word(static_cast<std::uint16_t>(m_dialog.cx));
    Word(static_cast<std::uint16_t>(m_dialog.cy));
    Word(kNoMenuOrClass);
    Word(kNoMenuOrClass);
    Text(m_dialog.caption);
    if (m_dialog.style & win::DS_SETFONT) {
        Word(static_cast<std::uint16_t>(m_dialog.pointSize));
        Word(static_cast<std::uint16_t>(m_dialog.weight));
        Byte(m_dialog.italic ? 1 : 0);
        Byte(static_cast<std::uint8_t>(m_dialog.charset));
        Text(m_dialog.typeface);
    }
    for (const DialogItemTemplate& item : m_dialog.items) WriteExtendedItem(item);
}

void DialogTemplateBuilder::WriteClassicItem(const DialogItemTemplate& item) {
    AlignToDoubleWord();
    DoubleWord(item.style);
    DoubleWord(item.exStyle);
    Word(static_cast<std::uint16_t>(item.x));
    Word(static_cast<std::uint16_t>(item.y));
    Word(static_cast<std::uint16_t>(item.cx));
    Word(static_cast<std::uint16_t>(item.cy));
    Word(static_cast<std::uint16_t>(item.id));
    Text(item.windowClass);
    WriteItemTitle(item);
    Word(0);  // no creation data
}

void DialogTemplateBuilder::WriteExtendedItem(const DialogItemTemplate& item) {
    AlignToDoubleWord();
    DoubleWord(0);  // help identifier
    DoubleWord(item.exStyle);
    DoubleWord(item.style);
    Word(static_cast<std::uint16_t>(item.x));
    Word(static_cast<std::uint16_t>(item.y));
    Word(static_cast<std::uint16_t>(item.cx));
    Word(static_cast<std::uint16_t>(item.cy));
    DoubleWord(static_cast<std::uint32_t>(item.id));
    Text(item.windowClass);
    WriteItemTitle(item);
    Word(0);  // no creation data
}

void DialogTemplateBuilder::WriteItemTitle(const DialogItemTemplate& item) {
    if (item.text == nullptr && item.iconId != 0) {
        // An icon control names its icon resource by number.
        Word(kOrdinalMarker);
        Word(static_cast<std::uint16_t>(item.iconId));
    } else {
        Text(item.text);
    }
}

void DialogTemplateBuilder::Word(std::uint16_t value) {
    m_bytes.push_back(static_cast<std::uint8_t>(value & 0xFF));
    m_bytes.push_back(static_cast<std::uint8_t>(value >> 8));
}

void DialogTemplateBuilder::DoubleWord(std::uint32_t value) {
    Word(static_cast<std::uint16_t>(value & 0xFFFF));
    Word(static_cast<std::uint16_t>(value >> 16));
}

void DialogTemplateBuilder::Byte(std::uint8_t value) {
    m_bytes.push_back(value);
}

void DialogTemplateBuilder::Text(const char* text) {
    if (text != nullptr && *text != '\0') {
        // The texts are 8-bit in the system's code page; the template holds UTF-16.
        const int length = ::MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
        std::vector<wchar_t> wide(static_cast<std::size_t>(length));
        ::MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), length);
        for (int i = 0; i + 1 < length; ++i) Word(static_cast<std::uint16_t>(wide[i]));
    }
    Word(0);
}

void DialogTemplateBuilder::AlignToDoubleWord() {
    while (m_bytes.size() % 4 != 0) m_bytes.push_back(0);
}

}  // namespace win32
