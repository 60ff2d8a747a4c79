// Turns the one description of a dialog (res/dialogs.cpp) into the in-memory template that
// CreateDialogIndirectParam reads: the classic form or the extended one, as the description says.
#pragma once

#include <cstdint>
#include <vector>

#include "dialog_template.h"

namespace win32 {

class DialogTemplateBuilder {
  public:
    // The template's bytes, with the dialog's own WS_VISIBLE left out: the window is made hidden
    // and shown once it is placed.
    static std::vector<std::uint32_t> Build(const DialogTemplate& dialog);

  private:
    explicit DialogTemplateBuilder(const DialogTemplate& dialog) : m_dialog(dialog) {}
    void WriteClassic();
    void WriteExtended();
    void WriteClassicItem(const DialogItemTemplate& item);
    void WriteExtendedItem(const DialogItemTemplate& item);
    void WriteItemTitle(const DialogItemTemplate& item);

    void Word(std::uint16_t value);
    void DoubleWord(std::uint32_t value);
    void Byte(std::uint8_t value);
    void Text(const char* text);
    void AlignToDoubleWord();

    const DialogTemplate& m_dialog;
    std::vector<std::uint8_t> m_bytes;
};

}  // namespace win32
