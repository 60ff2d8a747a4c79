// The program's compiled resources (linked into this test as into the program): the icons drawn
// from the artwork, the version block, and the manifest's visual styles and DPI awareness.

// The Windows headers first: their macros must be gone before the framework's headers.
#include "native_windows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "icon_art.h"
#include "native_layout.h"
#include "resource.h"

namespace {

struct IconPixels {
    int size = 0;
    std::vector<std::uint32_t> colour;  // 0x00RRGGBB, rows top down
    std::vector<bool> transparent;
};

std::vector<std::uint32_t> ReadBitmap(HBITMAP bitmap, int size) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = size;
    info.bmiHeader.biHeight = -size;  // top down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(size) * size);
    const HDC screen = ::GetDC(nullptr);
    ::GetDIBits(screen, bitmap, 0, size, pixels.data(), &info, DIB_RGB_COLORS);
    ::ReleaseDC(nullptr, screen);
    for (std::uint32_t& pixel : pixels) pixel &= 0xFFFFFF;
    return pixels;
}

// The image of icon `id` that the system picks for `size`, as the program loads it.
IconPixels LoadIconPixels(int id, int size) {
    IconPixels result;
    const auto icon =
        static_cast<HICON>(::LoadImageA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id),
                                        win::IMAGE_ICON, size, size, win::LR_DEFAULTCOLOR));
    if (icon == nullptr) return result;
    ICONINFO info{};
    ::GetIconInfo(icon, &info);
    BITMAP bitmap{};
    ::GetObjectA(info.hbmColor, sizeof(bitmap), &bitmap);
    result.size = bitmap.bmWidth == bitmap.bmHeight ? bitmap.bmWidth : 0;
    if (result.size == size) {
        result.colour = ReadBitmap(info.hbmColor, size);
        for (std::uint32_t mask : ReadBitmap(info.hbmMask, size)) {
            result.transparent.push_back(mask != 0);
        }
    }
    ::DeleteObject(info.hbmColor);
    ::DeleteObject(info.hbmMask);
    ::DestroyIcon(icon);
    return result;
}

// The artwork's main colours: the three that cover the most fully opaque pixels.
std::set<std::uint32_t> MainColours(const IconImage& art) {
    std::map<std::uint32_t, int> counts;
    for (std::uint32_t pixel : art.argb) {
        if ((pixel >> 24) == 0xFF) ++counts[pixel & 0xFFFFFF];
    }
    std::vector<std::pair<int, std::uint32_t>> byCount;
    for (const auto& [colour, count] : counts) byCount.emplace_back(count, colour);
    std::sort(byCount.rbegin(), byCount.rend());
    std::set<std::uint32_t> main;
    for (std::size_t i = 0; i < byCount.size() && i < 3; ++i) main.insert(byCount[i].second);
    return main;
}

struct IconCase {
    const char* name;
    int id;
    int size;
};

class IconImageTest : public testing::TestWithParam<IconCase> {};

TEST_P(IconImageTest, TheImageShowsTheArtworkInItsMainColoursAndItsShape) {
    const IconCase& c = GetParam();
    const IconPixels icon = LoadIconPixels(c.id, c.size);
    ASSERT_EQ(icon.size, c.size) << "no image of that size";
    const IconImage art = AfxRenderIcon(c.id, c.size);
    ASSERT_EQ(art.size, c.size);
    const std::set<std::uint32_t> main = MainColours(art);
    ASSERT_EQ(main.size(), 3u);
    for (int i = 0; i < c.size * c.size; ++i) {
        SCOPED_TRACE(testing::Message() << "pixel " << i % c.size << "," << i / c.size);
        const std::uint32_t drawn = art.argb[static_cast<std::size_t>(i)];
        EXPECT_EQ(icon.transparent[i], (drawn >> 24) < 0x80);
        if ((drawn >> 24) == 0xFF && main.count(drawn & 0xFFFFFF) != 0) {
            ASSERT_EQ(icon.colour[i], drawn & 0xFFFFFF);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Images, IconImageTest,
                         testing::Values(IconCase{"Application32", IDR_MAINFRAME, 32},
                                         IconCase{"Application16", IDR_MAINFRAME, 16},
                                         IconCase{"Up16", IDI_NET_UP, 16},
                                         IconCase{"Down16", IDI_NET_DOWN, 16}),
                         [](const testing::TestParamInfo<IconCase>& info) {
                             return info.param.name;
                         });

class TransparentImageTest : public testing::TestWithParam<int> {};

TEST_P(TransparentImageTest, TheStateIconsLargeImageIsFullyTransparent) {
    const IconPixels icon = LoadIconPixels(GetParam(), 32);
    ASSERT_EQ(icon.size, 32) << "no 32-pixel image: the system would scale the small one";
    EXPECT_EQ(std::count(icon.transparent.begin(), icon.transparent.end(), false), 0);
}

INSTANTIATE_TEST_SUITE_P(StateIcons, TransparentImageTest,
                         testing::Values(IDI_NET_UP, IDI_NET_DOWN));

#pragma pack(push, 2)
struct GroupIconEntry {
    BYTE width;
    BYTE height;
    BYTE colours;
    BYTE reserved;
    WORD planes;
    WORD bitsPerPixel;
    DWORD bytes;
    WORD id;
};
struct GroupIconHeader {
    WORD reserved;
    WORD type;
    WORD count;
};
#pragma pack(pop)

TEST(IconResourceTest, EachIconHoldsA32AndA16PixelImageOf16Colours) {
    for (const int id : {IDR_MAINFRAME, IDI_NET_UP, IDI_NET_DOWN}) {
        SCOPED_TRACE(id);
        const HMODULE module = ::GetModuleHandleA(nullptr);
        const HRSRC found = ::FindResourceA(module, MAKEINTRESOURCEA(id), RT_GROUP_ICON);
        ASSERT_NE(found, nullptr);
        const auto* header =
            static_cast<const GroupIconHeader*>(::LockResource(::LoadResource(module, found)));
        ASSERT_NE(header, nullptr);
        const auto* entries = reinterpret_cast<const GroupIconEntry*>(header + 1);
        std::multiset<int> sizes;
        for (WORD i = 0; i < header->count; ++i) {
            sizes.insert(entries[i].width);
            EXPECT_EQ(entries[i].width, entries[i].height);
            EXPECT_EQ(entries[i].bitsPerPixel, 4);
            EXPECT_EQ(entries[i].colours, 16);
        }
        EXPECT_EQ(sizes, (std::multiset<int>{16, 32}));
    }
}

std::string ModulePath() {
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, sizeof(path));
    return path;
}

TEST(VersionBlockTest, NamesTheProductAndItsVersion) {
    const std::string path = ModulePath();
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeA(path.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<char> block(size);
    ASSERT_TRUE(::GetFileVersionInfoA(path.c_str(), 0, size, block.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(win::HIWORD(fixed->dwFileVersionMS), TESSALY_TEST_VERSION_MAJOR);
    EXPECT_EQ(win::LOWORD(fixed->dwFileVersionMS), TESSALY_TEST_VERSION_MINOR);
    EXPECT_EQ(win::HIWORD(fixed->dwFileVersionLS), TESSALY_TEST_VERSION_PATCH);

    const auto text = [&](const char* name) {
        char* value = nullptr;
        UINT valueLength = 0;
        const std::string query = std::string("\\StringFileInfo\\040904B0\\") + name;
        if (!::VerQueryValueA(block.data(), query.c_str(), reinterpret_cast<void**>(&value),
                              &valueLength)) {
            return std::string("(missing)");
        }
        return std::string(value);
    };
    EXPECT_EQ(text("ProductName"), "Tessaly");
    EXPECT_EQ(text("CompanyName"), "Dovrel");
    EXPECT_EQ(text("OriginalFilename"), "Tessaly.exe");
    EXPECT_EQ(text("ProductVersion"), TESSALY_TEST_VERSION_TEXT);
}

TEST(ManifestTest, SelectsTheVersion6CommonControlsAndDeclaresDpiAwareness) {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_UPDOWN_CLASS};
    ASSERT_TRUE(::InitCommonControlsEx(&controls));
    // The library that this program's calls reach, whichever copy the loader chose: the version 6
    // controls live side by side with the old ones, under their assembly's name. (Their version
    // number is no proof: Wine's version 6 copy reports 5.81.)
    HMODULE comctl = nullptr;
    ASSERT_TRUE(::GetModuleHandleExA(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCSTR>(&::InitCommonControlsEx), &comctl));
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(comctl, path, sizeof(path));
    std::string lower(path);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    EXPECT_NE(lower.find("microsoft.windows.common-controls_6595b64144ccf1df_6."),
              std::string::npos)
        << path;
    EXPECT_TRUE(::IsProcessDPIAware());
}

}  // namespace
