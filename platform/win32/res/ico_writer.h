// Writes Windows icon files of 16-colour images, the form the program's icons take, from the
// pixels that res/icon_art.cpp renders. Runs on the build machine.
#pragma once

#include <cstdint>
#include <vector>

#include "icon_art.h"

class IcoWriter {
  public:
    // Adds an image, reduced to its 16 most frequent colours; pixels at least half covered are
    // opaque, the rest transparent.
    void AddImage(const IconImage& image);
    // Adds a fully transparent image of that size.
    void AddTransparent(int size);
    // The whole file.
    std::vector<std::uint8_t> Bytes() const;

  private:
    struct Entry {
        int size;
        std::vector<std::uint8_t> bitmap;  // header, palette, colour bits, mask bits
    };
    std::vector<Entry> m_entries;
};
