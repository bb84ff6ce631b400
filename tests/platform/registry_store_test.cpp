#include "registry_store.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace platform;
using namespace testsupport;

namespace {

const char* const kWizards = "SOFTWARE\\Quenlor\\Tessary\\Customization Wizards";
const char* const kUser = "SOFTWARE\\Quenlor\\Tessary\\Customization Wizards\\user";

// A store in a fresh folder, named by TESSARY_REGISTRY for the test's duration.
class StoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir = MakeTempDir("tessary-store");
        ASSERT_FALSE(m_dir.empty());
        m_store = m_dir / "registry.reg";
        ::setenv("TESSARY_REGISTRY", m_store.c_str(), 1);
    }
    void TearDown() override
    {
        ::unsetenv("TESSARY_REGISTRY");
        std::error_code ec;
        fs::permissions(m_store, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(m_dir, ec);
    }

    long Query(const std::string& key, const std::string& name, std::string& bytes, std::size_t size = 520)
    {
        return RegistryQueryValue(key, name, size, bytes);
    }

    fs::path m_dir;
    fs::path m_store;
};

const std::string kSample =
    "Windows Registry Editor Version 5.00\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quenlor\\Tessary]\r\n"
    "\"Language\"=\"FR\"\r\n"
    "\"Current Link\"=\"USB\"\r\n"
    "\r\n"
    "; written by the installer\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quenlor\\Tessary\\Customization Wizards]\r\n"
    "\"Installation Path\"=\"C:\\\\Program Files\\\\Tessary\\\\\"\r\n"
    "\"AnimMaxSize\"=dword:00007530\r\n"
    "\"Quoted\"=\"say \\\"hi\\\"\"\r\n"
    "\"Blob\"=hex:01,02,\\\r\n"
    "  03,04\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quenlor\\Tessary\\Customization Wizards\\user]\r\n"
    "\"BrowseAnim\"=\"/home/ann/Pictures\"\r\n";

} // namespace

TEST(RegistryParse, AcceptsWellFormedStoresAndRejectsDamagedOnes)
{
    struct Case {
        const char* what;
        std::string text;
        bool ok;
    };
    const std::string h = "Windows Registry Editor Version 5.00\n";
    const std::string k = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quenlor\\Tessary]\n";
    const Case cases[] = {
        {"header only", h, true},
        {"byte order mark", "\xEF\xBB\xBF" + h + k + "\"A\"=\"b\"\n", true},
        {"no final line break", h + k + "\"A\"=\"b\"", true},
        {"default value", h + k + "@=\"x\"\n", true},
        {"hex with type", h + k + "\"A\"=hex(7):41,00,00\n", true},
        {"empty", "", false},
        {"wrong header", "REGEDIT4\n" + k, false},
        {"value before any key", h + "\"A\"=\"b\"\n", false},
        {"unterminated text", h + k + "\"A\"=\"b\n", false},
        {"text after the value", h + k + "\"A\"=\"b\" junk\n", false},
        {"dword too long", h + k + "\"A\"=dword:123456789\n", false},
        {"dword not hex", h + k + "\"A\"=dword:12x4\n", false},
        {"bad hex byte", h + k + "\"A\"=hex:0g\n", false},
        {"hex continued past the end", h + k + "\"A\"=hex:01,\\\n", false},
        {"unclosed key", h + "[HKEY_LOCAL_MACHINE\\SOFTWARE\n", false},
        {"key removal", h + "[-HKEY_LOCAL_MACHINE\\SOFTWARE]\n", false},
        {"value removal", h + k + "\"A\"=-\n", false},
        {"stray line", h + k + "hello\n", false},
        {"truncated in the middle", (h + k + "\"Language\"=\"EN\"\n").substr(0, h.size() + k.size() + 8), false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ParseRegistry(c.text).has_value(), c.ok) << c.what;
}

TEST_F(StoreTest, QueriesGiveStoredBytesRegardlessOfType)
{
    WriteFile(m_store, kSample);
    struct Case {
        const char* key;
        const char* name;
        std::string bytes;
    };
    const Case cases[] = {
        {"SOFTWARE\\Quenlor\\Tessary", "Language", std::string("FR\0", 3)},
        {"SOFTWARE\\Quenlor\\Tessary", "current link", std::string("USB\0", 4)}, // names ignore case
        {"software\\quenlor\\tessary\\customization wizards", "Installation Path",
         std::string("C:\\Program Files\\Tessary\\") + '\0'},
        {kWizards, "AnimMaxSize", std::string("\x30\x75\0\0", 4)},
        {kWizards, "Quoted", std::string("say \"hi\"\0", 9)},
        {kWizards, "Blob", std::string("\x01\x02\x03\x04", 4)},
        {kUser, "BrowseAnim", std::string("/home/ann/Pictures\0", 19)},
    };
    for (const Case& c : cases) {
        std::string bytes;
        EXPECT_EQ(Query(c.key, c.name, bytes), kRegOk) << c.name;
        EXPECT_EQ(bytes, c.bytes) << c.name;
    }
}

TEST_F(StoreTest, QueryFailuresCarryTheSystemStatus)
{
    std::string bytes = "untouched";
    EXPECT_EQ(Query(kWizards, "AnimMaxSize", bytes), kRegNotFound) << "no store at all";

    WriteFile(m_store, kSample);
    EXPECT_EQ(Query(kWizards, "NoSuchValue", bytes), kRegNotFound);
    EXPECT_EQ(Query("SOFTWARE\\Quenlor\\Tessary\\Nowhere", "Language", bytes), kRegNotFound);
    EXPECT_EQ(Query(kWizards, "Language", bytes), kRegNotFound) << "values belong to their own key only";
    EXPECT_EQ(Query(kWizards, "Installation Path", bytes, 4), kRegMoreData);
    EXPECT_EQ(bytes, "untouched");

    WriteFile(m_store, "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\SOFTWARE\ngarbage\n");
    EXPECT_EQ(Query(kWizards, "AnimMaxSize", bytes), kRegInvalidData);

    fs::remove(m_store);
    fs::create_directory(m_store);
    EXPECT_EQ(Query(kWizards, "AnimMaxSize", bytes), kRegInvalidData) << "a folder is no store";
}

TEST_F(StoreTest, BufferLimitCountsTheTerminatingZero)
{
    WriteFile(m_store, "Windows Registry Editor Version 5.00\n\n"
                       "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quenlor\\Tessary]\n\"Fits\"=\"" +
                           std::string(519, 'a') + "\"\n\"TooLong\"=\"" + std::string(520, 'b') + "\"\n");
    std::string bytes;
    EXPECT_EQ(Query("SOFTWARE\\Quenlor\\Tessary", "Fits", bytes), kRegOk);
    EXPECT_EQ(bytes.size(), 520u);
    EXPECT_EQ(Query("SOFTWARE\\Quenlor\\Tessary", "TooLong", bytes), kRegMoreData);
}

TEST_F(StoreTest, WriteChangesOnlyTheValueLine)
{
    WriteFile(m_store, kSample);
    ASSERT_EQ(RegistrySetString(kUser, "BrowseAnim", "/media/card/DCIM"), kRegOk);
    std::string expected = kSample;
    std::string old = "\"BrowseAnim\"=\"/home/ann/Pictures\"";
    expected.replace(expected.find(old), old.size(), "\"BrowseAnim\"=\"/media/card/DCIM\"");
    EXPECT_EQ(ReadFile(m_store), expected);

    // Replacing a value that spans continuation lines replaces all of them.
    ASSERT_EQ(RegistrySetString(kWizards, "Blob", "x"), kRegOk);
    std::string blob = "\"Blob\"=hex:01,02,\\\r\n  03,04\r\n";
    expected.replace(expected.find(blob), blob.size(), "\"Blob\"=\"x\"\r\n");
    EXPECT_EQ(ReadFile(m_store), expected);
}

TEST_F(StoreTest, WriteAddsMissingValueAtTheEndOfItsKeyWithTheFilesLineBreak)
{
    WriteFile(m_store, kSample);
    ASSERT_EQ(RegistrySetString(kWizards, "PathAnim", "/home/ann/Saved"), kRegOk);
    std::string expected = kSample;
    std::string after = "  03,04\r\n";
    expected.insert(expected.find(after) + after.size(), "\"PathAnim\"=\"/home/ann/Saved\"\r\n");
    EXPECT_EQ(ReadFile(m_store), expected);

    // Last key of a file without a final line break.
    std::string bare = "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quenlor\\Tessary]\n"
                       "\"Language\"=\"EN\"";
    WriteFile(m_store, bare);
    ASSERT_EQ(RegistrySetString("SOFTWARE\\Quenlor\\Tessary", "Current Link", "None"), kRegOk);
    EXPECT_EQ(ReadFile(m_store), bare + "\n\"Current Link\"=\"None\"");
}

TEST_F(StoreTest, WrittenTextsReadBackExactly)
{
    WriteFile(m_store, kSample);
    const std::string texts[] = {
        "",
        "C:\\Users\\Ann\\",
        "quote \" and backslash \\ at the end\\",
        "Zdjęcia/Фото/照片",
        "two\nlines\tand a tab",
        std::string(519, 'z'),
    };
    for (const std::string& text : texts) {
        ASSERT_EQ(RegistrySetString(kUser, "PathAnim", text), kRegOk) << text;
        std::string bytes;
        ASSERT_EQ(Query(kUser, "PathAnim", bytes), kRegOk);
        EXPECT_EQ(bytes, text + '\0');
        EXPECT_TRUE(ParseRegistry(ReadFile(m_store)).has_value());
    }
    // Everything up to the first zero byte is stored, as from a C string.
    ASSERT_EQ(RegistrySetString(kUser, "PathAnim", std::string("ab\0cd", 5)), kRegOk);
    std::string bytes;
    ASSERT_EQ(Query(kUser, "PathAnim", bytes), kRegOk);
    EXPECT_EQ(bytes, std::string("ab\0", 3));
}

TEST_F(StoreTest, OddValueNamesReadBackOrAreRefusedWithTheStoreKept)
{
    WriteFile(m_store, kSample);
    struct Case {
        std::string name;
        long status;
    };
    const Case cases[] = {
        {"quote \" in it", kRegOk},
        {"back\\slash\\", kRegOk},
        {"; like a comment", kRegOk},
        {"[like a key]", kRegOk},
        {"tab\there", kRegOk},
        {"Ünïcode 名", kRegOk},
        {"two\nlines", kRegInvalidParameter}, // would break the store for every later read
        {"\n", kRegInvalidParameter},
    };
    for (const Case& c : cases) {
        const std::string before = ReadFile(m_store);
        EXPECT_EQ(RegistrySetString(kUser, c.name, "v"), c.status) << c.name;
        std::string bytes;
        if (c.status == kRegOk) {
            EXPECT_EQ(Query(kUser, c.name, bytes), kRegOk) << c.name;
            EXPECT_EQ(bytes, std::string("v\0", 2)) << c.name;
        } else {
            EXPECT_EQ(ReadFile(m_store), before) << c.name;
        }
        EXPECT_EQ(Query(kUser, "BrowseAnim", bytes), kRegOk) << "after " << c.name;
    }
}

TEST_F(StoreTest, WriteFailsWithoutChangingTheStore)
{
    EXPECT_EQ(RegistrySetString(kUser, "BrowseAnim", "/x"), kRegNotFound) << "no store";
    EXPECT_FALSE(fs::exists(m_store)) << "a write never creates the store";

    WriteFile(m_store, kSample);
    EXPECT_EQ(RegistrySetString("SOFTWARE\\Quenlor\\Tessary\\Content Manager", "home", "/x"), kRegNotFound)
        << "a write never creates a key";
    EXPECT_EQ(ReadFile(m_store), kSample);

    const std::string corrupt = kSample + "[HKEY_LOCAL_MACHINE\\broken\n\"BrowseAnim\"=\"kept\"\n";
    WriteFile(m_store, corrupt);
    EXPECT_EQ(RegistrySetString(kUser, "BrowseAnim", "/x"), kRegInvalidData);
    EXPECT_EQ(ReadFile(m_store), corrupt) << "an unreadable store is never overwritten";

    WriteFile(m_store, kSample);
    ::chmod(m_store.c_str(), 0444);
    EXPECT_EQ(RegistrySetString(kUser, "BrowseAnim", "/x"), kRegAccessDenied);
    EXPECT_EQ(ReadFile(m_store), kSample);
    std::string bytes;
    EXPECT_EQ(Query(kUser, "BrowseAnim", bytes), kRegOk) << "a read-only store still reads";

    for (const fs::directory_entry& e : fs::directory_iterator(m_dir))
        EXPECT_TRUE(e.path() == m_store || e.path().extension() == ".lock") << "left behind: " << e.path();
}

TEST_F(StoreTest, WriteKeepsFileModeAndReplacesTheTargetOfALink)
{
    fs::path real = m_dir / "real.reg";
    WriteFile(real, kSample);
    ::chmod(real.c_str(), 0640);
    fs::create_symlink(real, m_store);
    ASSERT_EQ(RegistrySetString(kUser, "BrowseAnim", "/y"), kRegOk);
    EXPECT_TRUE(fs::is_symlink(m_store));
    struct stat st{};
    ASSERT_EQ(::stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    std::string bytes;
    ASSERT_EQ(Query(kUser, "BrowseAnim", bytes), kRegOk);
    EXPECT_EQ(bytes, std::string("/y\0", 3));
}

TEST_F(StoreTest, PathComesFromTheEnvironment)
{
    EXPECT_EQ(RegistryStorePath(), m_store.string());
    ::unsetenv("TESSARY_REGISTRY");
    ::setenv("XDG_CONFIG_HOME", "/cfg", 1);
    EXPECT_EQ(RegistryStorePath(), "/cfg/tessary/registry.reg");
    ::setenv("XDG_CONFIG_HOME", "relative", 1); // not absolute: ignored
    ::setenv("HOME", "/home/ann", 1);
    EXPECT_EQ(RegistryStorePath(), "/home/ann/.config/tessary/registry.reg");
    ::unsetenv("XDG_CONFIG_HOME");
}
