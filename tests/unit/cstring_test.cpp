// The framework's text: shared buffers, formatting, string resources, and the whole-text swap
// that the window and the worker meet at.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "../../res/resource.h"
#include "cstring.h"

namespace {

TEST(CStringTest, CopiesShareOneBufferUntilOneOfThemChanges) {
    CString original("127.0.0.1");
    CString copy = original;
    EXPECT_EQ(original.ShareCount(), 2);
    EXPECT_EQ(original.GetString(), copy.GetString());

    copy += CString(" ");
    EXPECT_EQ(original.ShareCount(), 1);
    EXPECT_EQ(copy.ShareCount(), 1);
    EXPECT_EQ(original, "127.0.0.1");
    EXPECT_EQ(copy, "127.0.0.1 ");

    CString third = original;
    third = "printer";
    EXPECT_EQ(original, "127.0.0.1");
    EXPECT_EQ(original.ShareCount(), 1);
}

TEST(CStringTest, FormatsWithPrintfRulesAtAnyLength) {
    const struct {
        std::string expected;
        CString text;
    } cases[] = {
        {"66%",
         [] {
             CString t;
             t.Format("%d%%", 66);
             return t;
         }()},
        {"-2147483648",
         [] {
             CString t;
             t.Format("%d", -2147483647 - 1);
             return t;
         }()},
        {std::string(5000, 'x') + "7",
         [] {
             CString t;
             t.Format("%s%d", std::string(5000, 'x').c_str(), 7);
             return t;
         }()},
        {"",
         [] {
             CString t("old");
             t.Format("%s", "");
             return t;
         }()},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(std::string(c.text.View()), c.expected);
        EXPECT_EQ(c.text.GetLength(), static_cast<int>(c.expected.size()));
    }
}

TEST(CStringTest, LoadsStringResourcesAndReportsMissingOnes) {
    CString text("stale");
    EXPECT_TRUE(text.LoadString(IDS_ABOUTBOX));
    EXPECT_EQ(text, "&About orvane...");
    EXPECT_TRUE(text.LoadString(IDS_SOCKETS_INIT_FAILED));
    EXPECT_EQ(text, "Windows sockets initialization failed.");
    EXPECT_FALSE(text.LoadString(57344));
    EXPECT_TRUE(text.IsEmpty());
}

TEST(CSharedStringTest, ALoadSeesOneWholeTextWhileAnotherThreadStores) {
    const CString first(std::string(4096, 'a'));
    const CString second(std::string(8192, 'b'));
    CSharedString shared;
    shared.Store(first);
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int i = 0; i < 20000; ++i) shared.Store(i % 2 ? first : second);
        done = true;
    });
    int torn = 0;
    int loads = 0;
    while (!done || loads < 1000) {
        const CString seen = shared.Load();
        ++loads;
        if (!(seen == first) && !(seen == second)) ++torn;
    }
    writer.join();
    EXPECT_EQ(torn, 0);
}

}  // namespace
