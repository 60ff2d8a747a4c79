// The modal dialogs running on the window's thread, innermost last.
#pragma once

#include <cstdint>
#include <vector>

class CDialog;

namespace win32 {

class ModalFrames {
  public:
    struct Frame {
        CDialog* dialog = nullptr;
        bool ended = false;
        std::intptr_t result = 0;
    };

    // Enters a frame for the span of one DoModal.
    class Scope {
      public:
        explicit Scope(CDialog* dialog);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;
        Frame& frame() { return m_frame; }

      private:
        Frame m_frame;
    };

    // The running frame of the dialog, or null when it runs none.
    static Frame* Find(const CDialog* dialog);
    static std::size_t Depth();

  private:
    static std::vector<Frame*>& Stack();
};

}  // namespace win32
