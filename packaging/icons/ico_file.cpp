#include "ico_file.h"

#include <cstddef>

namespace {

constexpr std::size_t kFileHeaderSize = 6;
constexpr std::size_t kDirectoryEntrySize = 16;
constexpr std::size_t kBitmapHeaderSize = 40;

class ByteWriter {
  public:
    explicit ByteWriter(std::vector<std::uint8_t>& bytes) : m_bytes(bytes) {}
    void U8(std::uint32_t value) { m_bytes.push_back(static_cast<std::uint8_t>(value)); }
    void U16(std::uint32_t value) {
        U8(value & 0xFF);
        U8((value >> 8) & 0xFF);
    }
    void U32(std::uint32_t value) {
        U16(value & 0xFFFF);
        U16(value >> 16);
    }

  private:
    std::vector<std::uint8_t>& m_bytes;
};

// Rows of the 1-bit mask are padded to whole 32-bit words.
std::size_t MaskRowBytes(int size) {
    return ((static_cast<std::size_t>(size) + 31) / 32) * 4;
}

std::size_t BitmapBytes(int size) {
    const auto side = static_cast<std::size_t>(size);
    return kBitmapHeaderSize + side * side * 4 + MaskRowBytes(size) * side;
}

bool IsEncodable(const IconImage& image) {
    const auto pixels = static_cast<std::size_t>(image.size) * static_cast<std::size_t>(image.size);
    return image.size > 0 && image.size < 256 && image.argb.size() == pixels;
}

std::uint32_t Pixel(const IconImage& image, int x, int y) {
    return image.argb[static_cast<std::size_t>(y) * static_cast<std::size_t>(image.size) +
                      static_cast<std::size_t>(x)];
}

void WriteDirectoryEntry(ByteWriter& out, const IconImage& image, std::size_t offset) {
    out.U8(static_cast<std::uint32_t>(image.size));  // width
    out.U8(static_cast<std::uint32_t>(image.size));  // height
    out.U8(0);                                       // no palette
    out.U8(0);                                       // reserved
    out.U16(1);                                      // colour planes
    out.U16(32);                                     // bits per pixel
    out.U32(static_cast<std::uint32_t>(BitmapBytes(image.size)));
    out.U32(static_cast<std::uint32_t>(offset));
}

// The bitmap header counts the colour rows and the mask rows together, hence twice the height.
void WriteBitmapHeader(ByteWriter& out, int size) {
    out.U32(kBitmapHeaderSize);
    out.U32(static_cast<std::uint32_t>(size));
    out.U32(static_cast<std::uint32_t>(size) * 2);
    out.U16(1);
    out.U16(32);
    out.U32(0);  // uncompressed
    out.U32(static_cast<std::uint32_t>(BitmapBytes(size) - kBitmapHeaderSize));
    out.U32(0);
    out.U32(0);
    out.U32(0);
    out.U32(0);
}

// Bitmap rows run bottom up; each pixel is stored blue, green, red, alpha.
void WriteColourRows(ByteWriter& out, const IconImage& image) {
    for (int y = image.size - 1; y >= 0; --y) {
        for (int x = 0; x < image.size; ++x) out.U32(Pixel(image, x, y));
    }
}

// A set bit marks a pixel that readers without alpha leave transparent.
void WriteMaskRows(std::vector<std::uint8_t>& bytes, const IconImage& image) {
    const std::size_t rowBytes = MaskRowBytes(image.size);
    for (int y = image.size - 1; y >= 0; --y) {
        const std::size_t rowStart = bytes.size();
        bytes.resize(rowStart + rowBytes, 0);
        for (int x = 0; x < image.size; ++x) {
            if ((Pixel(image, x, y) >> 24) != 0) continue;
            bytes[rowStart + static_cast<std::size_t>(x) / 8] |=
                static_cast<std::uint8_t>(0x80u >> (x % 8));
        }
    }
}

}  // namespace

std::vector<std::uint8_t> EncodeIcoFile(const std::vector<IconImage>& images) {
    std::vector<std::uint8_t> bytes;
    if (images.empty() || images.size() > 0xFFFF) return bytes;
    for (const IconImage& image : images) {
        if (!IsEncodable(image)) return bytes;
    }
    ByteWriter out(bytes);
    out.U16(0);  // reserved
    out.U16(1);  // an icon, not a cursor
    out.U16(static_cast<std::uint32_t>(images.size()));
    std::size_t offset = kFileHeaderSize + kDirectoryEntrySize * images.size();
    for (const IconImage& image : images) {
        WriteDirectoryEntry(out, image, offset);
        offset += BitmapBytes(image.size);
    }
    for (const IconImage& image : images) {
        WriteBitmapHeader(out, image.size);
        WriteColourRows(out, image);
        WriteMaskRows(bytes, image);
    }
    return bytes;
}
