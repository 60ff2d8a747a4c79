#include "ico_writer.h"

#include <algorithm>
#include <array>
#include <map>

namespace {

constexpr int kColours = 16;
constexpr int kBitsPerPixel = 4;
constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::size_t kDirectorySize = 6;
constexpr std::size_t kDirectoryEntrySize = 16;

void Put16(std::vector<std::uint8_t>& out, std::uint32_t value) {
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
    out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

std::size_t RowBytes(int size, int bitsPerPixel) {
    return ((static_cast<std::size_t>(size) * bitsPerPixel + 31) / 32) * 4;
}

bool IsOpaque(std::uint32_t argb) {
    return (argb >> 24) >= 0x80;
}

// Palette entry 0 stays black: transparent pixels take it, so that the mask leaves the screen
// unchanged beneath them.
std::array<std::uint32_t, kColours> ChoosePalette(const IconImage& image) {
    std::map<std::uint32_t, int> counts;
    for (std::uint32_t pixel : image.argb) {
        if (IsOpaque(pixel)) ++counts[pixel & 0xFFFFFF];
    }
    std::vector<std::pair<std::uint32_t, int>> byFrequency(counts.begin(), counts.end());
    std::stable_sort(byFrequency.begin(), byFrequency.end(),
                     [](const auto& a, const auto& b) { return a.second > b.second; });
    std::array<std::uint32_t, kColours> palette{};
    int used = 1;
    for (const auto& [colour, count] : byFrequency) {
        if (used == kColours) break;
        if (colour != 0) palette[used++] = colour;
    }
    return palette;
}

int Distance(std::uint32_t a, std::uint32_t b) {
    int total = 0;
    for (int shift : {0, 8, 16}) {
        const int difference =
            static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
        total += difference * difference;
    }
    return total;
}

std::uint8_t NearestIndex(const std::array<std::uint32_t, kColours>& palette, std::uint32_t rgb) {
    int best = 0;
    for (int i = 1; i < kColours; ++i) {
        if (Distance(palette[i], rgb) < Distance(palette[best], rgb)) best = i;
    }
    return static_cast<std::uint8_t>(best);
}

std::vector<std::uint8_t> EncodeBitmap(int size, const std::array<std::uint32_t, kColours>& palette,
                                       const std::vector<std::uint8_t>& indices,
                                       const std::vector<bool>& transparent) {
    const std::size_t colourRow = RowBytes(size, kBitsPerPixel);
    const std::size_t maskRow = RowBytes(size, 1);
    std::vector<std::uint8_t> out;
    Put32(out, kInfoHeaderSize);
    Put32(out, static_cast<std::uint32_t>(size));
    Put32(out, static_cast<std::uint32_t>(size * 2));  // colour bits and mask, one above the other
    Put16(out, 1);
    Put16(out, kBitsPerPixel);
    Put32(out, 0);  // uncompressed
    Put32(out, static_cast<std::uint32_t>((colourRow + maskRow) * size));
    for (int i = 0; i < 4; ++i) Put32(out, 0);  // resolution, colours used and important
    for (std::uint32_t colour : palette) {
        out.push_back(static_cast<std::uint8_t>(colour & 0xFF));
        out.push_back(static_cast<std::uint8_t>((colour >> 8) & 0xFF));
        out.push_back(static_cast<std::uint8_t>((colour >> 16) & 0xFF));
        out.push_back(0);
    }
    // Rows bottom up, as bitmaps store them.
    for (int y = size - 1; y >= 0; --y) {
        std::vector<std::uint8_t> row(colourRow, 0);
        for (int x = 0; x < size; ++x) {
            const std::uint8_t index = indices[static_cast<std::size_t>(y) * size + x];
            row[x / 2] |= (x % 2 == 0) ? static_cast<std::uint8_t>(index << 4) : index;
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    for (int y = size - 1; y >= 0; --y) {
        std::vector<std::uint8_t> row(maskRow, 0);
        for (int x = 0; x < size; ++x) {
            if (transparent[static_cast<std::size_t>(y) * size + x]) {
                row[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
            }
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

}  // namespace

void IcoWriter::AddImage(const IconImage& image) {
    const std::array<std::uint32_t, kColours> palette = ChoosePalette(image);
    std::vector<std::uint8_t> indices(image.argb.size(), 0);
    std::vector<bool> transparent(image.argb.size(), true);
    for (std::size_t i = 0; i < image.argb.size(); ++i) {
        if (!IsOpaque(image.argb[i])) continue;
        indices[i] = NearestIndex(palette, image.argb[i] & 0xFFFFFF);
        transparent[i] = false;
    }
    m_entries.push_back({image.size, EncodeBitmap(image.size, palette, indices, transparent)});
}

void IcoWriter::AddTransparent(int size) {
    const auto pixels = static_cast<std::size_t>(size) * static_cast<std::size_t>(size);
    m_entries.push_back({size, EncodeBitmap(size, {}, std::vector<std::uint8_t>(pixels, 0),
                                            std::vector<bool>(pixels, true))});
}

std::vector<std::uint8_t> IcoWriter::Bytes() const {
    std::vector<std::uint8_t> out;
    Put16(out, 0);
    Put16(out, 1);  // an icon, not a cursor
    Put16(out, static_cast<std::uint32_t>(m_entries.size()));
    std::size_t offset = kDirectorySize + kDirectoryEntrySize * m_entries.size();
    for (const Entry& entry : m_entries) {
        out.push_back(static_cast<std::uint8_t>(entry.size >= 256 ? 0 : entry.size));
        out.push_back(static_cast<std::uint8_t>(entry.size >= 256 ? 0 : entry.size));
        out.push_back(kColours);
        out.push_back(0);
        Put16(out, 1);
        Put16(out, kBitsPerPixel);
        Put32(out, static_cast<std::uint32_t>(entry.bitmap.size()));
        Put32(out, static_cast<std::uint32_t>(offset));
        offset += entry.bitmap.size();
    }
    for (const Entry& entry : m_entries)
        out.insert(out.end(), entry.bitmap.begin(), entry.bitmap.end());
    return out;
}
