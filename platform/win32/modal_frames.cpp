#include "modal_frames.h"

#include <algorithm>

namespace win32 {

std::vector<ModalFrames::Frame*>& ModalFrames::Stack() {
    // Modal loops run on the window's thread only; each thread would have its own.
    thread_local std::vector<Frame*> stack;
    return stack;
}

ModalFrames::Scope::Scope(CDialog* dialog) {
    m_frame.dialog = dialog;
    Stack().push_back(&m_frame);
}

ModalFrames::Scope::~Scope() {
    std::vector<Frame*>& stack = Stack();
    stack.erase(std::remove(stack.begin(), stack.end(), &m_frame), stack.end());
}

ModalFrames::Frame* ModalFrames::Find(const CDialog* dialog) {
    const std::vector<Frame*>& stack = Stack();
    for (auto frame = stack.rbegin(); frame != stack.rend(); ++frame) {
        if ((*frame)->dialog == dialog) return *frame;
    }
    return nullptr;
}

std::size_t ModalFrames::Depth() {
    return Stack().size();
}

}  // namespace win32
