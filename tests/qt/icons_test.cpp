// Icon handles: the tray's 16-pixel icons stay sharp and visible at every size a tray asks for,
// drawn only when asked for.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <vector>

#include "../../res/resource.h"
#include "afxwin.h"
#include "icons.h"

namespace qttest {
namespace {

win::HICON Load(int id, int size) {
    return static_cast<win::HICON>(win::LoadImageA(AfxGetInstanceHandle(), id, win::IMAGE_ICON,
                                                   size, size, win::LR_DEFAULTCOLOR));
}

int OpaquePixels(const QImage& image) {
    int opaque = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) opaque += qAlpha(image.pixel(x, y)) == 255 ? 1 : 0;
    }
    return opaque;
}

// The image Qt hands a tray host that asks for `size` pixels: no scaling up from a small one.
QImage AsTrayShowsIt(win::HICON icon, int size) {
    return tsyqt::QtIcon(icon)
        .pixmap(QSize(size, size), 1.0)
        .toImage()
        .convertToFormat(QImage::Format_ARGB32);
}

class TrayIconImageTest : public ::testing::TestWithParam<int> {};

TEST_P(TrayIconImageTest, TheStateIconsAreDrawnAtTheSizeAskedForAndOpaque) {
    const int size = GetParam();
    for (int id : {IDI_NET_UP, IDI_NET_DOWN}) {
        const QImage image = AsTrayShowsIt(Load(id, 16), size);
        EXPECT_EQ(image.size(), QSize(size, size)) << id;
        // The art fills its square: a white or grey ground with the cross and the bar on it.
        EXPECT_EQ(OpaquePixels(image), size * size) << id;
    }
}

INSTANTIATE_TEST_SUITE_P(Size, TrayIconImageTest, ::testing::Values(16, 22, 24, 32, 48, 64));

// Loading draws nothing; each size is drawn when first asked for, and only that size.
TEST(Icons, EachSizeIsRenderedWhenFirstAskedFor) {
    // A size no other test loads, so that this handle starts fresh.
    const win::HICON icon = Load(IDR_MAINFRAME, 40);
    ASSERT_NE(icon, nullptr);
    EXPECT_TRUE(tsyqt::RenderedSides(icon).empty());
    EXPECT_EQ(AsTrayShowsIt(icon, 22).size(), QSize(22, 22));
    EXPECT_EQ(tsyqt::RenderedSides(icon), std::vector<int>{22});
    // Asked again, or through a copy of the icon, the drawn image is reused.
    const QIcon copy = tsyqt::QtIcon(icon);
    EXPECT_EQ(copy.pixmap(QSize(22, 22), 1.0).size(), QSize(22, 22));
    EXPECT_EQ(tsyqt::RenderedSides(icon), std::vector<int>{22});
    EXPECT_EQ(tsyqt::RenderedSides(nullptr), std::vector<int>{});
}

// A tray or title bar on a scaled screen asks for device pixels: they are drawn, not enlarged.
TEST(Icons, AScaledScreenGetsTheArtDrawnAtItsDevicePixels) {
    const win::HICON icon = Load(IDI_NET_DOWN, 16);
    const QPixmap pixmap = tsyqt::QtIcon(icon).pixmap(QSize(16, 16), 2.0);
    EXPECT_EQ(pixmap.size(), QSize(32, 32));
    const QImage sharp = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(OpaquePixels(sharp), 32 * 32);
    // The same pixels as the icon asked for at 32 on a plain screen: drawn, not scaled up.
    EXPECT_EQ(sharp, AsTrayShowsIt(icon, 32));

    // Painted into a rectangle, as the tray host's window paints it.
    QImage painted(48, 48, QImage::Format_ARGB32);
    painted.fill(Qt::transparent);
    {
        QPainter painter(&painted);
        tsyqt::QtIcon(icon).paint(&painter, QRect(0, 0, 48, 48));
    }
    EXPECT_EQ(OpaquePixels(painted), 48 * 48);
    EXPECT_EQ(painted, AsTrayShowsIt(icon, 48));
}

TEST(Icons, TheUpIconIsGreenWhereTheDownIconIsRed) {
    // The middle of the cross's arm, at 32 pixels: the size where the resource's own image is
    // blank.
    const QColor up = AsTrayShowsIt(Load(IDI_NET_UP, 16), 32).pixelColor(8, 12);
    const QColor down = AsTrayShowsIt(Load(IDI_NET_DOWN, 16), 32).pixelColor(8, 12);
    EXPECT_GT(up.green(), 200);
    EXPECT_LT(up.red(), 60);
    EXPECT_GT(down.red(), 200);
    EXPECT_LT(down.green(), 60);
}

TEST(Icons, TheStateIconsOwn32PixelImageIsBlankAsTheResourceHasIt) {
    EXPECT_EQ(OpaquePixels(AsTrayShowsIt(Load(IDI_NET_UP, 32), 32)), 0);
    EXPECT_EQ(OpaquePixels(AsTrayShowsIt(Load(IDI_NET_DOWN, 32), 32)), 0);
}

TEST(Icons, TheApplicationIconLoadsAtTheStandardSize) {
    const win::HICON icon = win::LoadIconA(AfxGetInstanceHandle(), IDR_MAINFRAME);
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(win::GetSystemMetrics(win::SM_CXICON), 32);
    EXPECT_EQ(win::GetSystemMetrics(win::SM_CYICON), 32);
    EXPECT_GT(OpaquePixels(AsTrayShowsIt(icon, 32)), 32 * 32 / 2);
}

TEST(Icons, LoadingTwiceGivesTheSameHandleAndUnknownIconsNone) {
    EXPECT_EQ(Load(IDI_NET_UP, 16), Load(IDI_NET_UP, 16));
    EXPECT_NE(Load(IDI_NET_UP, 16), Load(IDI_NET_DOWN, 16));
    EXPECT_EQ(Load(4711, 16), nullptr);
    EXPECT_EQ(win::LoadIconA(AfxGetInstanceHandle(), 4711), nullptr);
    EXPECT_EQ(win::LoadImageA(AfxGetInstanceHandle(), IDI_NET_UP, 0 /* a bitmap */, 16, 16, 0),
              nullptr);
}

}  // namespace
}  // namespace qttest
