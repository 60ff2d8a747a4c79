// The profile functions over the real registry: the key path, the value types, defaults, and
// names that differ only in letter case. Each test works below a key of its own and removes it.

// The Windows headers first: their macros must be gone before the framework's headers.
#include "native_windows.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "afxwin.h"
#include "test_support.h"

namespace {

class RegistryProfileTest : public testing::Test {
  protected:
    void SetUp() override {
        m_company = "TessalyTest" + std::to_string(::GetCurrentProcessId());
        m_app.m_strAppName = "Probe";
        m_app.SetRegistryKey(m_company.c_str());
    }
    void TearDown() override {
        HKEY software = nullptr;
        if (::RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_ALL_ACCESS, &software) ==
            ERROR_SUCCESS) {
            ::RegDeleteTreeA(software, m_company.c_str());
            ::RegCloseKey(software);
        }
    }

    std::string SectionPath(const char* section) const {
        return "Software\\" + m_company + "\\Probe\\" + section;
    }

    // The raw value as the registry holds it; false when it is missing.
    bool RawValue(const char* section, const char* name, DWORD& type,
                  std::vector<BYTE>& data) const {
        HKEY key = nullptr;
        if (::RegOpenKeyExA(HKEY_CURRENT_USER, SectionPath(section).c_str(), 0, KEY_READ, &key) !=
            ERROR_SUCCESS) {
            return false;
        }
        DWORD size = 0;
        LONG result = ::RegQueryValueExA(key, name, nullptr, &type, nullptr, &size);
        data.resize(size);
        if (result == ERROR_SUCCESS) {
            result = ::RegQueryValueExA(key, name, nullptr, &type, data.data(), &size);
        }
        ::RegCloseKey(key);
        return result == ERROR_SUCCESS;
    }

    void PutRaw(const char* section, const char* name, DWORD type, const void* data, DWORD size) {
        HKEY key = nullptr;
        ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, SectionPath(section).c_str(), 0, nullptr, 0,
                                    KEY_WRITE, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        ::RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
        ::RegCloseKey(key);
    }

    std::string m_company;
    win32_test::TestApp m_app;
};

TEST_F(RegistryProfileTest, AReadOfAFreshStoreGivesTheDefaultAndMakesTheKeysButNoValue) {
    EXPECT_EQ(m_app.GetProfileInt("dovrel", "alert", 1011), 1011);
    EXPECT_EQ(m_app.GetProfileString("dovrel", "IPAddress", "127.0.0.1"), "127.0.0.1");
    EXPECT_EQ(m_app.GetProfileString("dovrel", "IPAddress"), "");

    HKEY section = nullptr;
    ASSERT_EQ(
        ::RegOpenKeyExA(HKEY_CURRENT_USER, SectionPath("dovrel").c_str(), 0, KEY_READ, &section),
        ERROR_SUCCESS)
        << "the read did not make the key path";
    DWORD values = 99;
    ::RegQueryInfoKeyA(section, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                       nullptr, nullptr, nullptr, nullptr);
    ::RegCloseKey(section);
    EXPECT_EQ(values, 0u) << "a read made a value";
}

TEST_F(RegistryProfileTest, TextIsStoredAsRegSzWithItsTerminatingZero) {
    ASSERT_TRUE(m_app.WriteProfileString("dovrel", "IPAddress", "host.example"));
    DWORD type = 0;
    std::vector<BYTE> data;
    ASSERT_TRUE(RawValue("dovrel", "IPAddress", type, data));
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(std::string(data.begin(), data.end()), std::string("host.example", 13));
    EXPECT_EQ(m_app.GetProfileString("dovrel", "IPAddress", "default"), "host.example");
}

TEST_F(RegistryProfileTest, AStoredEmptyTextReadsAsEmptyNotAsTheDefault) {
    ASSERT_TRUE(m_app.WriteProfileString("dovrel", "IPAddress", ""));
    EXPECT_EQ(m_app.GetProfileString("dovrel", "IPAddress", "127.0.0.1"), "");
}

TEST_F(RegistryProfileTest, IntegersAreStoredAsRegDwordAndReadBackSigned) {
    for (const int value : {0, 3, 1011, -5, 0x7FFFFFFF, -0x7FFFFFFF - 1}) {
        SCOPED_TRACE(value);
        ASSERT_TRUE(m_app.WriteProfileInt("Dovrel", "Packets", value));
        DWORD type = 0;
        std::vector<BYTE> data;
        ASSERT_TRUE(RawValue("dovrel", "Packets", type, data));
        EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
        ASSERT_EQ(data.size(), 4u);
        const auto stored = static_cast<std::uint32_t>(value);
        EXPECT_EQ(data, (std::vector<BYTE>{
                            static_cast<BYTE>(stored), static_cast<BYTE>(stored >> 8),
                            static_cast<BYTE>(stored >> 16), static_cast<BYTE>(stored >> 24)}));
        EXPECT_EQ(m_app.GetProfileInt("dovrel", "Packets", 3), value);
    }
}

TEST_F(RegistryProfileTest, SectionAndValueNamesMatchWithoutRegardToCase) {
    EXPECT_EQ(m_app.GetProfileInt("dovrel", "alert", 1011), 1011);  // makes the section
    ASSERT_TRUE(m_app.WriteProfileInt("Dovrel", "Alert", 1008));
    EXPECT_EQ(m_app.GetProfileInt("DOVREL", "ALERT", 1011), 1008);

    // One key, spelled as its first access made it.
    HKEY app = nullptr;
    ASSERT_EQ(::RegOpenKeyExA(HKEY_CURRENT_USER, ("Software\\" + m_company + "\\Probe").c_str(), 0,
                              KEY_READ, &app),
              ERROR_SUCCESS);
    std::vector<std::string> sections;
    char name[256];
    for (DWORD index = 0;; ++index) {
        DWORD length = sizeof(name);
        if (::RegEnumKeyExA(app, index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        sections.emplace_back(name, length);
    }
    ::RegCloseKey(app);
    EXPECT_EQ(sections, std::vector<std::string>{"dovrel"});
}

struct WrongTypeCase {
    const char* name;
    DWORD type;
    std::vector<BYTE> data;
};

class WrongTypeTest : public RegistryProfileTest,
                      public testing::WithParamInterface<WrongTypeCase> {};

TEST_P(WrongTypeTest, AValueOfAnotherTypeReadsAsTheDefault) {
    const WrongTypeCase& c = GetParam();
    PutRaw("dovrel", "Value", c.type, c.data.data(), static_cast<DWORD>(c.data.size()));
    if (c.type != REG_DWORD) {
        EXPECT_EQ(m_app.GetProfileInt("dovrel", "Value", 77), 77);
    }
    if (c.type != REG_SZ) {
        EXPECT_EQ(m_app.GetProfileString("dovrel", "Value", "fallback"), "fallback");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Types, WrongTypeTest,
    testing::Values(WrongTypeCase{"TextForAnInteger", REG_SZ, {'4', '2', 0}},
                    WrongTypeCase{"IntegerForAText", REG_DWORD, {42, 0, 0, 0}},
                    WrongTypeCase{"Binary", REG_BINARY, {42, 0, 0, 0}},
                    WrongTypeCase{"ExpandableText", REG_EXPAND_SZ, {'a', 0}},
                    WrongTypeCase{"EightByteInteger", REG_QWORD, {42, 0, 0, 0, 0, 0, 0, 0}}),
    [](const testing::TestParamInfo<WrongTypeCase>& info) { return info.param.name; });

struct StoredTextCase {
    const char* name;
    std::vector<BYTE> data;
    std::string read;
};

class StoredTextTest : public RegistryProfileTest,
                       public testing::WithParamInterface<StoredTextCase> {};

TEST_P(StoredTextTest, TextReadsUpToItsFirstZero) {
    const StoredTextCase& c = GetParam();
    PutRaw("dovrel", "IPAddress", REG_SZ, c.data.data(), static_cast<DWORD>(c.data.size()));
    EXPECT_EQ(m_app.GetProfileString("dovrel", "IPAddress", "default").View(), c.read);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, StoredTextTest,
    testing::Values(StoredTextCase{"WithoutItsZero", {'a', 'b', 'c'}, "abc"},
                    StoredTextCase{"WithAZeroInside", {'a', 'b', 0, 'c', 'd', 0}, "ab"},
                    StoredTextCase{"Long", std::vector<BYTE>(4000, 'x'), std::string(4000, 'x')}),
    [](const testing::TestParamInfo<StoredTextCase>& info) { return info.param.name; });

}  // namespace
