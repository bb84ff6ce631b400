// The first start of a user without a settings store: an installed program runs
// the installed init-settings before it reads anything; otherwise it leaves the
// store alone. Programs are laid out in a temporary root as the package lays
// them out (usr/bin, usr/libexec/tessary, usr/share/tessary).
#include "registry_store.h"
#include "startup.h"
#include "wizard_test_support.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>
#include <gtest/gtest.h>
#include <optional>

namespace {

const char* kScript = "../libexec/tessary/init-settings";
const char* kTable = "../share/tessary/default_settings.tsv";

// Sets an environment variable for the life of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::optional<QString>& value) : m_name(name)
    {
        if (const char* old = std::getenv(name))
            m_old = old;
        if (value)
            setenv(name, value->toUtf8().constData(), 1);
        else
            unsetenv(name);
    }
    ~ScopedEnv()
    {
        if (m_old)
            setenv(m_name, m_old->c_str(), 1);
        else
            unsetenv(m_name);
    }

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

bool WriteFile(const QString& path, const QByteArray& bytes, bool executable)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return false;
    file.close();
    if (executable)
        file.setPermissions(file.permissions() | QFile::ExeOwner | QFile::ExeUser);
    return true;
}

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Stand-ins for init-settings: each leaves a mark with the table it was given.
const char* kWrites = "#!/bin/sh\necho \"$TESSARY_DEFAULT_SETTINGS\" > \"$MARK\"\n"
                      "mkdir -p \"$(dirname \"$TESSARY_REGISTRY\")\"\n"
                      "printf 'Windows Registry Editor Version 5.00\\n' > \"$TESSARY_REGISTRY\"\n";
const char* kFails = "#!/bin/sh\necho \"$TESSARY_DEFAULT_SETTINGS\" > \"$MARK\"\nexit 3\n";

TEST(FirstStart, RunsTheInstalledScriptOnlyWhenTheStoreIsMissing)
{
    wizard_test::EnsureApp();
    struct Case {
        const char* what;
        const char* script;    // null: none installed
        bool executable;
        bool storeBefore;
        bool wantRun;          // the script left its mark
        bool wantResult;
    } cases[] = {
        {"fresh user", kWrites, true, false, true, true},
        {"store exists", kWrites, true, true, false, false},
        {"no script installed", nullptr, true, false, false, false},
        {"script not executable", kWrites, false, false, false, false},
        {"script fails", kFails, true, false, true, false},
    };
    for (const Case& c : cases) {
        QTemporaryDir root;
        ASSERT_TRUE(root.isValid());
        const QString store = root.filePath(QStringLiteral("config/registry.reg"));
        const QString mark = root.filePath(QStringLiteral("mark"));
        ScopedEnv storeEnv("TESSARY_REGISTRY", store);
        ScopedEnv markEnv("MARK", mark);
        const QString program = root.filePath(QStringLiteral("usr/bin/"));
        QDir().mkpath(program);
        ASSERT_TRUE(WriteFile(root.filePath(QStringLiteral("usr/share/tessary/default_settings.tsv")), "# table\n",
                              false));
        if (c.script) {
            ASSERT_TRUE(WriteFile(root.filePath(QStringLiteral("usr/libexec/tessary/init-settings")), c.script,
                                  c.executable));
        }
        const QByteArray kept = "Windows Registry Editor Version 5.00\n\n; kept\n";
        if (c.storeBefore) {
            ASSERT_TRUE(WriteFile(store, kept, false));
        }

        EXPECT_EQ(WriteFirstStartSettings(program.toStdString(), kScript, kTable), c.wantResult) << c.what;
        EXPECT_EQ(QFile::exists(mark), c.wantRun) << c.what;
        if (c.wantRun) { // the installed table, named without "..", is handed to the script
            EXPECT_EQ(ReadFile(mark).trimmed(),
                      root.filePath(QStringLiteral("usr/share/tessary/default_settings.tsv")).toUtf8())
                << c.what;
        }
        if (c.storeBefore) {
            EXPECT_EQ(ReadFile(store), kept) << c.what << ": an existing store is never touched";
        } else {
            EXPECT_EQ(QFile::exists(store), c.wantResult) << c.what;
        }
    }
}

// The real init-settings, installed with the real table, writes the user's
// defaults where the store lives for that user.
TEST(FirstStart, InstalledInitSettingsWritesTheDefaultsOfTheTable)
{
    wizard_test::EnsureApp();
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString home = root.filePath(QStringLiteral("home"));
    ScopedEnv storeEnv("TESSARY_REGISTRY", std::nullopt);
    ScopedEnv homeEnv("HOME", home);
    ScopedEnv configEnv("XDG_CONFIG_HOME", home + QStringLiteral("/.config"));
    ScopedEnv dataEnv("XDG_DATA_HOME", home + QStringLiteral("/.local/share"));
    ScopedEnv tableEnv("TESSARY_DEFAULT_SETTINGS", std::nullopt);
    const QString program = root.filePath(QStringLiteral("usr/bin/"));
    QDir().mkpath(program);
    ASSERT_TRUE(WriteFile(root.filePath(QStringLiteral("usr/libexec/tessary/init-settings")),
                          ReadFile(QStringLiteral(TESSARY_SOURCE_DIR "/scripts/init-settings")), true));
    ASSERT_TRUE(WriteFile(root.filePath(QStringLiteral("usr/share/tessary/default_settings.tsv")),
                          ReadFile(QStringLiteral(TESSARY_SOURCE_DIR "/resources/default_settings.tsv")), false));

    ASSERT_TRUE(WriteFirstStartSettings(program.toStdString(), kScript, kTable));
    EXPECT_TRUE(QFile::exists(home + QStringLiteral("/.config/tessary/registry.reg")));
    std::string bytes;
    ASSERT_EQ(platform::RegistryQueryValue("SOFTWARE\\Quenlor\\Tessary\\Customization Wizards", "AnimMaxSize", 4, bytes),
              platform::kRegOk);
    EXPECT_EQ(bytes, std::string("\x00\x90\x01\x00", 4)) << "102400 bytes, least significant first";
    ASSERT_EQ(platform::RegistryQueryValue("SOFTWARE\\Quenlor\\Tessary\\Customization Wizards", "Installation Path",
                                           520, bytes),
              platform::kRegOk);
    EXPECT_EQ(bytes, (home + QStringLiteral("/.local/share/tessary/")).toStdString() + '\0');
    EXPECT_TRUE(QFileInfo(home + QStringLiteral("/.local/share/tessary/temp")).isDir());
}

} // namespace
