// Writes the application icon as the files that desktops and installers want, rendered from the
// one artwork that the program itself draws, so that no bitmap in the tree can drift from it.
//
//   tessaly-icon-export png SIZE FILE      one PNG of SIZE x SIZE pixels
//   tessaly-icon-export ico FILE SIZE...   one Windows icon file holding each SIZE
#include <QByteArray>
#include <QImage>
#include <QSaveFile>
#include <QString>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

#include "ico_file.h"
#include "icon_art.h"
#include "resource.h"

namespace {

constexpr int kLargestSize = 1024;

QImage ToQImage(const IconImage& icon) {
    const auto pixels = static_cast<std::size_t>(icon.size) * static_cast<std::size_t>(icon.size);
    if (icon.size <= 0 || icon.argb.size() != pixels) return {};
    // Both hold straight (not premultiplied) 0xAARRGGBB words, so whole rows copy as they are.
    QImage image(icon.size, icon.size, QImage::Format_ARGB32);
    const auto rowBytes = static_cast<std::size_t>(icon.size) * sizeof(std::uint32_t);
    for (int y = 0; y < icon.size; ++y) {
        std::memcpy(
            image.scanLine(y),
            icon.argb.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(icon.size),
            rowBytes);
    }
    return image;
}

std::optional<int> ParseSize(const char* text) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || value < 1 || value > kLargestSize) return std::nullopt;
    return static_cast<int>(value);
}

bool WriteWhole(const char* path, const QByteArray& bytes) {
    QSaveFile file(QString::fromLocal8Bit(path));
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

int Fail(const char* message, const char* detail) {
    std::fprintf(stderr, "tessaly-icon-export: %s%s\n", message, detail);
    return EXIT_FAILURE;
}

int ExportPng(const char* sizeText, const char* path) {
    const auto size = ParseSize(sizeText);
    if (!size) return Fail("not a size in pixels: ", sizeText);
    const QImage image = ToQImage(AfxRenderIcon(IDR_MAINFRAME, *size));
    if (image.isNull()) return Fail("the application icon did not render", "");
    QSaveFile file(QString::fromLocal8Bit(path));
    if (!file.open(QIODevice::WriteOnly) || !image.save(&file, "PNG") || !file.commit()) {
        return Fail("could not write ", path);
    }
    return EXIT_SUCCESS;
}

int ExportIco(const char* path, int sizeCount, char** sizeTexts) {
    std::vector<IconImage> images;
    for (int i = 0; i < sizeCount; ++i) {
        const auto size = ParseSize(sizeTexts[i]);
        if (!size) return Fail("not a size in pixels: ", sizeTexts[i]);
        images.push_back(AfxRenderIcon(IDR_MAINFRAME, *size));
    }
    const std::vector<std::uint8_t> bytes = EncodeIcoFile(images);
    if (bytes.empty()) return Fail("an icon file holds one or more sizes below 256", "");
    const QByteArray data(reinterpret_cast<const char*>(bytes.data()),
                          static_cast<qsizetype>(bytes.size()));
    if (!WriteWhole(path, data)) return Fail("could not write ", path);
    return EXIT_SUCCESS;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: tessaly-icon-export png SIZE FILE\n"
                 "       tessaly-icon-export ico FILE SIZE...\n");
    return EXIT_FAILURE;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "png") == 0) return ExportPng(argv[2], argv[3]);
    if (argc >= 4 && std::strcmp(argv[1], "ico") == 0)
        return ExportIco(argv[2], argc - 3, argv + 3);
    return Usage();
}
