// The store under stress: concurrent writer processes, writers killed at
// random moments, a full disk and a failing rename. Each test prints its
// figures so a run can be compared with the last one.
#include "registry_store.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include <csignal>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace platform;
using namespace testsupport;

namespace {

const char* const kUser = "SOFTWARE\\Quenlor\\Tessary\\Customization Wizards\\user";
const char* const kWizards = "SOFTWARE\\Quenlor\\Tessary\\Customization Wizards";

const std::string kStore =
    "Windows Registry Editor Version 5.00\n"
    "\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quenlor\\Tessary]\n"
    "\"Language\"=\"EN\"\n"
    "\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quenlor\\Tessary\\Customization Wizards]\n"
    "\"AnimMaxSize\"=dword:00007530\n"
    "\"Installation Path\"=\"/opt/tessary/\"\n"
    "\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quenlor\\Tessary\\Customization Wizards\\user]\n"
    "\"BrowseAnim\"=\"v0\"\n";

std::string QueryText(const char* key, const std::string& name, long* status = nullptr)
{
    std::string bytes;
    long s = RegistryQueryValue(key, name, 520, bytes);
    if (status)
        *status = s;
    return s == kRegOk ? bytes.substr(0, bytes.find('\0')) : std::string("<status " + std::to_string(s) + ">");
}

int CountTemporaries(const fs::path& dir)
{
    int count = 0;
    for (const fs::directory_entry& e : fs::directory_iterator(dir)) {
        if (e.path().filename().string().find(".tmp.") != std::string::npos)
            ++count;
    }
    return count;
}

class ReliabilityTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir = MakeTempDir("tessary-reliability");
        ASSERT_FALSE(m_dir.empty());
        UseStore(m_dir / "registry.reg");
    }
    void TearDown() override
    {
        SetRegistryFaultForTesting(RegistryFault::None);
        ::unsetenv("TESSARY_REGISTRY");
        if (!m_mount.empty()) {
            ::umount(m_mount.c_str());
        }
        RemoveTree(m_dir);
    }
    void UseStore(const fs::path& path)
    {
        m_store = path;
        ::setenv("TESSARY_REGISTRY", m_store.c_str(), 1);
    }

    fs::path m_dir;
    fs::path m_store;
    std::string m_mount;
};

// Writes `count` values named <prefix><i>; exits with the number of failed writes.
[[noreturn]] void WriterProcess(const std::string& prefix, int count)
{
    int failures = 0;
    for (int i = 0; i < count; ++i) {
        if (RegistrySetString(kUser, prefix + std::to_string(i), prefix + "-value-" + std::to_string(i * 7919)) !=
            kRegOk)
            ++failures;
    }
    ::_exit(failures > 255 ? 255 : failures);
}

} // namespace

TEST_F(ReliabilityTest, TwoProcessesWritingAThousandValuesEachLoseNone)
{
    // What is checked here is the locking, not the disk: the store lives in
    // memory when it can (TESSARY_STRESS_DIR picks another folder), so that two
    // thousand flushes do not make the test slow on a busy disk.
    std::string folder = std::getenv("TESSARY_STRESS_DIR") ? std::getenv("TESSARY_STRESS_DIR")
                         : fs::is_directory("/dev/shm")      ? "/dev/shm"
                                                             : m_dir.string();
    std::string pattern = folder + "/tessary-writers-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    const fs::path dir = pattern;
    struct Cleanup {
        fs::path dir;
        ~Cleanup() { std::error_code ec; fs::remove_all(dir, ec); }
    } cleanup{dir};
    UseStore(dir / "registry.reg");
    WriteFile(m_store, kStore);
    constexpr int kPerWriter = 1000;
    auto start = std::chrono::steady_clock::now();
    pid_t a = ::fork();
    if (a == 0)
        WriterProcess("A", kPerWriter);
    pid_t b = ::fork();
    if (b == 0)
        WriterProcess("B", kPerWriter);
    ASSERT_GT(a, 0);
    ASSERT_GT(b, 0);
    int statusA = 0, statusB = 0;
    ::waitpid(a, &statusA, 0);
    ::waitpid(b, &statusB, 0);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ASSERT_TRUE(WIFEXITED(statusA) && WIFEXITED(statusB));
    EXPECT_EQ(WEXITSTATUS(statusA), 0) << "failed writes in process A";
    EXPECT_EQ(WEXITSTATUS(statusB), 0) << "failed writes in process B";

    int lost = 0;
    for (const char* prefix : {"A", "B"}) {
        for (int i = 0; i < kPerWriter; ++i) {
            std::string want = std::string(prefix) + "-value-" + std::to_string(i * 7919);
            std::string have = QueryText(kUser, prefix + std::to_string(i));
            if (have != want) {
                ++lost;
                ADD_FAILURE() << prefix << i << ": have " << have << ", want " << want;
                if (lost > 5)
                    return;
            }
        }
    }
    EXPECT_EQ(QueryText(kUser, "BrowseAnim"), "v0");
    EXPECT_EQ(QueryText(kWizards, "Installation Path"), "/opt/tessary/");
    EXPECT_EQ(CountTemporaries(dir), 0);
    std::printf("[ figures  ] 2 processes x %d writes in %s: %.2f s (%.2f ms a write), %d lost\n", kPerWriter,
                dir.c_str(), seconds, seconds * 1000.0 / (2 * kPerWriter), lost);
}

TEST_F(ReliabilityTest, WriterKilledAtRandomMomentsLeavesOldOrNewStore)
{
    // A store of some size, so that a write takes long enough to be hit in the middle.
    std::string store = kStore;
    for (int i = 0; i < 300; ++i)
        store += "\"Filler" + std::to_string(i) + "\"=\"" + std::string(40, static_cast<char>('a' + i % 26)) + "\"\n";
    WriteFile(m_store, store);

    // How long one write takes here decides the range of the kill moments.
    auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < 20; ++i)
        ASSERT_EQ(RegistrySetString(kUser, "BrowseAnim", "v0"), kRegOk);
    const auto writeMicros = std::chrono::duration_cast<std::chrono::microseconds>(
                                 std::chrono::steady_clock::now() - t0)
                                 .count() /
                             20;

    constexpr int kRounds = 400;
    std::mt19937 random(20240611);
    // Counted from the moment the child starts its write.
    std::uniform_int_distribution<long> moment(0, writeMicros + writeMicros / 4 + 50);
    int sawOld = 0, sawNew = 0, sawOther = 0, killedMidway = 0, temporariesSeen = 0;
    std::string current = "v0";
    auto start = std::chrono::steady_clock::now();
    for (int round = 1; round <= kRounds; ++round) {
        const std::string next = "v" + std::to_string(round);
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(ready[0]);
            char go = 1;
            (void)!::write(ready[1], &go, 1);
            long status = RegistrySetString(kUser, "BrowseAnim", next);
            ::_exit(status == kRegOk ? 0 : 1);
        }
        ::close(ready[1]);
        char go = 0;
        (void)!::read(ready[0], &go, 1);
        ::close(ready[0]);
        ::usleep(static_cast<useconds_t>(moment(random)));
        ::kill(child, SIGKILL);
        int wstatus = 0;
        ::waitpid(child, &wstatus, 0);
        if (WIFSIGNALED(wstatus))
            ++killedMidway;

        temporariesSeen += CountTemporaries(m_dir);
        long status = 0;
        std::string have = QueryText(kUser, "BrowseAnim", &status);
        ASSERT_EQ(status, kRegOk) << "round " << round << ": the store no longer reads";
        if (have == current) {
            ++sawOld;
        } else if (have == next) {
            ++sawNew;
            current = next;
        } else {
            ++sawOther;
            ADD_FAILURE() << "round " << round << ": have " << have << ", want " << current << " or " << next;
        }
        ASSERT_EQ(QueryText(kWizards, "Installation Path"), "/opt/tessary/") << "round " << round;
        ASSERT_EQ(QueryText(kUser, "Filler299"), std::string(40, static_cast<char>('a' + 299 % 26)));
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    // The next write clears what the killed writers left behind.
    ASSERT_EQ(RegistrySetString(kUser, "BrowseAnim", "final"), kRegOk);
    EXPECT_EQ(CountTemporaries(m_dir), 0);
    EXPECT_EQ(sawOther, 0);
    EXPECT_GT(killedMidway, kRounds / 10) << "the kills should often land before the writes end";
    std::printf("[ figures  ] %d kills in %.1f s (write %ld us): %d killed before exit, old store %d, new store %d, "
                "other %d; %d temporary files left by killed writers, all removed by later writes\n",
                kRounds, seconds, static_cast<long>(writeMicros), killedMidway, sawOld, sawNew, sawOther,
                temporariesSeen);
}

TEST_F(ReliabilityTest, FailedWritesKeepTheOldStoreAndSayWhy)
{
    WriteFile(m_store, kStore);
    struct Case {
        RegistryFault fault;
        long status;
    };
    for (const Case& c : {Case{RegistryFault::DiskFull, kRegDiskFull}, Case{RegistryFault::RenameFails, kRegWriteFault}}) {
        SetRegistryFaultForTesting(c.fault);
        EXPECT_EQ(RegistrySetString(kUser, "BrowseAnim", "lost"), c.status);
        SetRegistryFaultForTesting(RegistryFault::None);
        EXPECT_EQ(ReadFile(m_store), kStore);
        EXPECT_EQ(CountTemporaries(m_dir), 0);
    }
    EXPECT_EQ(RegistrySetString(kUser, "BrowseAnim", "kept"), kRegOk) << "the store works again afterwards";
    EXPECT_EQ(QueryText(kUser, "BrowseAnim"), "kept");
}

TEST_F(ReliabilityTest, RealFullDiskKeepsTheOldStore)
{
    fs::path mountPoint = m_dir / "small";
    fs::create_directory(mountPoint);
    if (::mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a small file system here";
    m_mount = mountPoint.string();
    UseStore(mountPoint / "registry.reg");
    std::string store = kStore;
    for (int i = 0; i < 200; ++i)
        store += "\"Filler" + std::to_string(i) + "\"=\"" + std::string(60, 'f') + "\"\n";
    WriteFile(m_store, store);

    // Fill the rest of the disk.
    {
        int fd = ::open((mountPoint / "filler").c_str(), O_WRONLY | O_CREAT, 0644);
        ASSERT_GE(fd, 0);
        std::string block(4096, 'x');
        while (::write(fd, block.data(), block.size()) > 0) {
        }
        ::close(fd);
    }
    EXPECT_EQ(RegistrySetString(kUser, "BrowseAnim", "lost"), kRegDiskFull);
    EXPECT_EQ(ReadFile(m_store), store);
    EXPECT_EQ(CountTemporaries(mountPoint), 0);

    fs::remove(mountPoint / "filler");
    EXPECT_EQ(RegistrySetString(kUser, "BrowseAnim", "room again"), kRegOk);
    EXPECT_EQ(QueryText(kUser, "BrowseAnim"), "room again");
}
