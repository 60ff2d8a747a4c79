// The icon export tool, run as the build runs it; its files are read back with Qt's own image
// readers and compared pixel for pixel with the artwork the program draws.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QStringList>
#include <QTemporaryDir>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "ico_file.h"
#include "icon_art.h"
#include "resource.h"

namespace {

// Runs the tool to its end and gives its exit status, or -1 when it did not end normally.
// posix_spawn rather than QProcess: the thread sanitizer's run time cannot follow QProcess's way
// of starting a child.
int RunExport(const QStringList& arguments) {
    std::vector<std::string> words{TESSALY_ICON_EXPORT};
    for (const QString& argument : arguments) words.push_back(argument.toStdString());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    pid_t child = 0;
    if (posix_spawn(&child, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Counts the pixels of `image` that differ from the artwork at that size. A PNG keeps straight
// alpha as it is, so it must match exactly.
int CountDifferences(const QImage& image, const IconImage& art) {
    const QImage straight = image.convertToFormat(QImage::Format_ARGB32);
    int differences = 0;
    for (int y = 0; y < art.size; ++y) {
        for (int x = 0; x < art.size; ++x) {
            const auto expected = art.argb[static_cast<std::size_t>(y * art.size + x)];
            if (straight.pixel(x, y) != expected) ++differences;
        }
    }
    return differences;
}

// Qt's icon reader premultiplies the colours by the alpha, which rounds faint pixels; so compare
// premultiplied, one step of rounding allowed in each channel.
int CountPremultipliedDifferences(const QImage& image, const IconImage& art) {
    const QImage premultiplied = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    auto near = [](int a, int b) { return std::abs(a - b) <= 1; };
    int differences = 0;
    for (int y = 0; y < art.size; ++y) {
        for (int x = 0; x < art.size; ++x) {
            const QRgb expected =
                qPremultiply(art.argb[static_cast<std::size_t>(y * art.size + x)]);
            const QRgb actual = premultiplied.pixel(x, y);
            if (!near(qAlpha(actual), qAlpha(expected)) || !near(qRed(actual), qRed(expected)) ||
                !near(qGreen(actual), qGreen(expected)) || !near(qBlue(actual), qBlue(expected))) {
                ++differences;
            }
        }
    }
    return differences;
}

class IconExportTest : public ::testing::Test {
  protected:
    QString PathOf(const char* name) const { return m_folder.filePath(QString::fromLatin1(name)); }
    QTemporaryDir m_folder;
};

TEST_F(IconExportTest, PngMatchesTheArtworkAtEveryThemeSize) {
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        SCOPED_TRACE(size);
        const QString path = PathOf("icon.png");
        ASSERT_EQ(RunExport({"png", QString::number(size), path}), 0);
        QImage image(path, "PNG");
        ASSERT_FALSE(image.isNull());
        ASSERT_EQ(image.width(), size);
        ASSERT_EQ(image.height(), size);
        EXPECT_TRUE(image.hasAlphaChannel());
        EXPECT_EQ(CountDifferences(image, AfxRenderIcon(IDR_MAINFRAME, size)), 0);
    }
}

// The artwork's corners are transparent and its centre is the green dot: a file with the channels
// or the rows swapped would still have the right size and count of pixels.
TEST_F(IconExportTest, PngKeepsTransparencyAndColoursInPlace) {
    const QString path = PathOf("icon.png");
    ASSERT_EQ(RunExport({"png", "64", path}), 0);
    const QImage image = QImage(path, "PNG").convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(image.width(), 64);
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(image.pixel(63, 63)), 0);
    EXPECT_EQ(image.pixel(32, 32), qRgba(0x20, 0xC0, 0x40, 0xFF));
    EXPECT_EQ(image.pixel(32, 8), qRgba(0x1A, 0x3A, 0x7A, 0xFF));  // the navy disc above the ring
}

TEST_F(IconExportTest, IcoHoldsEverySizeAsQtReadsIt) {
    const std::vector<int> sizes{16, 24, 32, 48};
    const QString path = PathOf("icon.ico");
    ASSERT_EQ(RunExport({"ico", path, "16", "24", "32", "48"}), 0);
    QImageReader reader(path, "ico");
    ASSERT_EQ(reader.imageCount(), static_cast<int>(sizes.size()));
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        SCOPED_TRACE(sizes[i]);
        ASSERT_TRUE(reader.jumpToImage(static_cast<int>(i)));
        const QImage image = reader.read();
        ASSERT_FALSE(image.isNull()) << reader.errorString().toStdString();
        ASSERT_EQ(image.width(), sizes[i]);
        ASSERT_EQ(image.height(), sizes[i]);
        EXPECT_EQ(CountPremultipliedDifferences(image, AfxRenderIcon(IDR_MAINFRAME, sizes[i])), 0);
    }
}

// A picture that looks different upside down, mirrored and with any two channels swapped: the
// application's disc would hide such faults of the icon file writer.
IconImage LopsidedImage(int size) {
    IconImage image;
    image.size = size;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            std::uint32_t pixel = 0;  // transparent below the diagonal
            if (x + y < size) pixel = y < size / 3 ? 0xFFFF0000 : 0xFF0000FF;  // red over blue
            if (x == size - 1 && y == 0) pixel = 0x8000FF00;  // half-transparent green corner
            image.argb.push_back(pixel);
        }
    }
    return image;
}

QImage ReadIco(const std::vector<std::uint8_t>& bytes, int index) {
    QByteArray data(reinterpret_cast<const char*>(bytes.data()),
                    static_cast<qsizetype>(bytes.size()));
    QBuffer buffer(&data);
    QImageReader reader(&buffer, "ico");
    if (!reader.jumpToImage(index)) return {};
    return reader.read();
}

TEST(IcoFileTest, KeepsRowsColumnsAndChannelsInPlace) {
    const IconImage picture = LopsidedImage(20);
    const auto bytes = EncodeIcoFile({AfxRenderIcon(IDR_MAINFRAME, 16), picture});
    ASSERT_FALSE(bytes.empty());
    const QImage image = ReadIco(bytes, 1);
    ASSERT_EQ(image.width(), 20);
    EXPECT_EQ(CountPremultipliedDifferences(image, picture), 0);
}

// The 1-bit mask is what readers without alpha use: clear where the picture is opaque, set where
// it is transparent, rows bottom up like the colours.
TEST(IcoFileTest, MaskMatchesTheAlpha) {
    const IconImage picture = LopsidedImage(36);  // rows of the mask padded to 8 bytes
    const auto bytes = EncodeIcoFile({picture});
    const std::size_t rowBytes = 8;
    const std::size_t maskStart = 6 + 16 + 40 + 36 * 36 * 4;
    ASSERT_EQ(bytes.size(), maskStart + rowBytes * 36);
    int wrongBits = 0;
    for (int row = 0; row < 36; ++row) {
        const int y = 35 - row;
        for (int x = 0; x < 36; ++x) {
            const auto byte = bytes[maskStart + static_cast<std::size_t>(row) * rowBytes + x / 8];
            const bool masked = (byte & (0x80 >> (x % 8))) != 0;
            const bool transparent =
                (picture.argb[static_cast<std::size_t>(y * 36 + x)] >> 24) == 0;
            if (masked != transparent) ++wrongBits;
        }
    }
    EXPECT_EQ(wrongBits, 0);
}

TEST(IcoFileTest, RefusesImagesTheFormatCannotHold) {
    IconImage torn = AfxRenderIcon(IDR_MAINFRAME, 16);
    torn.argb.pop_back();
    EXPECT_TRUE(EncodeIcoFile({}).empty());
    EXPECT_TRUE(EncodeIcoFile({AfxRenderIcon(IDR_MAINFRAME, 256)}).empty());
    EXPECT_TRUE(EncodeIcoFile({AfxRenderIcon(IDR_MAINFRAME, 16), torn}).empty());
    EXPECT_TRUE(EncodeIcoFile({IconImage{}}).empty());
}

TEST_F(IconExportTest, RefusesWhatItCannotWriteAndLeavesNoFile) {
    struct Case {
        const char* what;
        QStringList arguments;
    };
    const QString path = PathOf("out");
    const std::vector<Case> cases{
        {"a size of zero", {"png", "0", path}},
        {"a size that is no number", {"png", "16px", path}},
        {"a size beyond any screen", {"png", "4096", path}},
        {"an icon file size of 256", {"ico", path, "16", "256"}},
        {"an icon file without sizes", {"ico", path}},
        {"an unknown kind of file", {"bmp", "16", path}},
        {"a folder that does not exist", {"png", "16", PathOf("missing/out.png")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_NE(RunExport(c.arguments), 0);
        EXPECT_FALSE(QFile::exists(path));
    }
}

}  // namespace
