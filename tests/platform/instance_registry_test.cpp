// The suite's instance marker and window registry.
#include "instance_lock.h"
#include "instance_registry.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QThread>
#include <atomic>
#include <gtest/gtest.h>

namespace {

void EnsureApp(QTemporaryDir& runtime)
{
    qputenv("TESSARY_RUNTIME_DIR", runtime.path().toUtf8());
    if (!QCoreApplication::instance()) {
        static int argc = 1;
        static char name[] = "registry-test";
        static char* argv[] = {name, nullptr};
        new QCoreApplication(argc, argv);
    }
}

TEST(InstanceLock, FirstHolderCreatesLaterOnesShareUntilAllClose)
{
    QTemporaryDir runtime;
    EnsureApp(runtime);
    platform::InstanceLock first;
    platform::InstanceLock second;
    platform::InstanceLock third;
    bool existed = true;
    ASSERT_TRUE(first.Create("DrovenSuiteLock", &existed));
    EXPECT_FALSE(existed);
    ASSERT_TRUE(second.Create("DrovenSuiteLock", &existed));
    EXPECT_TRUE(existed);
    first.Close();
    ASSERT_TRUE(third.Create("DrovenSuiteLock", &existed));
    EXPECT_TRUE(existed) << "the second holder keeps the name taken";
    second.Close();
    third.Close();
    ASSERT_TRUE(first.Create("DrovenSuiteLock", &existed));
    EXPECT_FALSE(existed) << "free again once every holder let go";

    platform::InstanceLock other;
    ASSERT_TRUE(other.Create("AnotherName", &existed));
    EXPECT_FALSE(existed) << "names are independent";
}

TEST(InstanceLock, PathStaysInsideTheRuntimeFolder)
{
    QTemporaryDir runtime;
    EnsureApp(runtime);
    const std::string path = platform::InstanceLock::PathFor("../../etc/x");
    EXPECT_EQ(path.rfind(runtime.path().toStdString() + "/", 0), 0u) << path;
    EXPECT_EQ(path.find('/', runtime.path().size() + 1), std::string::npos) << path;
}

// Runs an endpoint in its own thread, as another process's event loop would.
class EndpointThread {
public:
    EndpointThread(const std::string& title, std::atomic<int>* normal, std::atomic<int>* minimised)
    {
        m_thread.start();
        m_endpoint = new platform::SuiteWindowEndpoint;
        m_endpoint->moveToThread(&m_thread);
        QMetaObject::invokeMethod(
            m_endpoint,
            [this, title, normal, minimised] {
                platform::SuiteWindowEndpoint::Handlers handlers;
                handlers.title = [title] { return title; };
                handlers.show = [normal, minimised](platform::ShowCommand c) {
                    ++*(c == platform::ShowCommand::Normal ? normal : minimised);
                };
                m_registered = m_endpoint->Register(title, handlers);
            },
            Qt::BlockingQueuedConnection);
    }
    ~EndpointThread()
    {
        QMetaObject::invokeMethod(m_endpoint, [this] { delete m_endpoint; }, Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }
    bool Registered() const { return m_registered; }

private:
    QThread m_thread;
    platform::SuiteWindowEndpoint* m_endpoint = nullptr;
    bool m_registered = false;
};

TEST(SuiteRegistry, FindsShowsAndNamesARegisteredWindow)
{
    QTemporaryDir runtime;
    EnsureApp(runtime);
    std::atomic<int> normal{0};
    std::atomic<int> minimised{0};
    const std::string title = "Создать анимацию — a title well over the length of a socket name, twice over";
    {
        EndpointThread window(title, &normal, &minimised);
        ASSERT_TRUE(window.Registered());
        EXPECT_FALSE(platform::FindSuiteWindow("Создать анимацию").has_value()) << "titles match exactly";
        const std::optional<platform::SuiteWindow> found = platform::FindSuiteWindow(title);
        ASSERT_TRUE(found.has_value());
        EXPECT_EQ(platform::GetSuiteWindowTitle(*found), title);
        EXPECT_TRUE(platform::ShowSuiteWindow(*found, platform::ShowCommand::Minimise));
        EXPECT_TRUE(platform::ShowSuiteWindow(*found, platform::ShowCommand::Normal));
        EXPECT_EQ(minimised.load(), 1);
        EXPECT_EQ(normal.load(), 1);

        std::atomic<int> unused{0};
        EndpointThread twin(title, &unused, &unused);
        EXPECT_FALSE(twin.Registered()) << "a live window keeps its title";
    }
    EXPECT_FALSE(platform::FindSuiteWindow(title).has_value()) << "gone with its window";
    EXPECT_FALSE(platform::ShowSuiteWindow(platform::SuiteWindow{platform::SuiteSocketPath(title)},
                                           platform::ShowCommand::Normal));
    EXPECT_EQ(platform::GetSuiteWindowTitle(platform::SuiteWindow{platform::SuiteSocketPath(title)}), "");

    // A window that went away without unregistering leaves only a dead socket file.
    EndpointThread again(title, &normal, &minimised);
    EXPECT_TRUE(again.Registered());
}

} // namespace
