// Start-up against other wizards of the suite, played by tessary-test-window
// processes: siblings are shown and reported, a running instance is restored,
// and the instance marker is taken only when the start goes on.
#include "instance_lock.h"
#include "message_box.h"
#include "messages.h"
#include "startup.h"
#include "wizard_test_support.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// A running stand-in window of the suite.
class SuiteWindow {
public:
    SuiteWindow(const QStringList& titles, const QString& lock = QString())
    {
        m_log = m_folder.filePath(QStringLiteral("log.txt"));
        QStringList args{QStringLiteral("--log"), m_log};
        if (!lock.isEmpty())
            args << QStringLiteral("--lock") << lock;
        args << titles;
        m_process.start(QStringLiteral(TESSARY_BINARY_DIR "/bin/tessary-test-window"), args);
        QElapsedTimer timer;
        timer.start();
        while (!Lines().contains(QStringLiteral("ready")) && timer.elapsed() < 10000 &&
               m_process.state() != QProcess::NotRunning)
            m_process.waitForReadyRead(20);
    }
    ~SuiteWindow()
    {
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(3000))
            m_process.kill();
        m_process.waitForFinished(1000);
    }
    bool Ready() { return Lines().contains(QStringLiteral("ready")); }
    // The requests carried out so far, once `count` of them arrived (or after 3 s).
    QStringList Requests(int count = 0)
    {
        QElapsedTimer timer;
        timer.start();
        while (Lines().size() < count + 1 && timer.elapsed() < 3000)
            m_process.waitForFinished(20);
        QStringList lines = Lines();
        lines.removeAll(QStringLiteral("ready"));
        return lines;
    }

private:
    QStringList Lines()
    {
        QFile file(m_log);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    QTemporaryDir m_folder;
    QString m_log;
    QProcess m_process;
};

class StartUp : public ::testing::Test {
protected:
    void SetUp() override
    {
        wizard_test::EnsureApp("en");
        options.runFrame = [this](CDlgFrame& frame) {
            ++framesRun;
            frameTitle = frame.m_pMessages->TitleCreateAnimation;
            return 0;
        };
    }
    void TearDown() override { ReleaseInstanceLock(); }

    // Whether some process holds the suite's instance marker now.
    static bool MarkerTaken()
    {
        platform::InstanceLock probe;
        bool existed = false;
        probe.Create(kSuiteLockName, &existed);
        return existed;
    }

    StartUpOptions options;
    int framesRun = 0;
    std::string frameTitle;
};

TEST_F(StartUp, NothingRunningStartsTheFrameAndTakesTheMarker)
{
    platform::MessageBoxRecorder boxes;
    std::string codeDuringRun;
    options.runFrame = [&](CDlgFrame&) {
        ++framesRun;
        codeDuringRun = g_languageCode;
        EXPECT_TRUE(MarkerTaken());
        return 0;
    };
    EXPECT_TRUE(InitInstance(options));
    EXPECT_EQ(framesRun, 1);
    EXPECT_EQ(codeDuringRun, "EN") << "the language setting is upper-cased";
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(StartUp, SiblingsAreShownAndTheLastFoundIsReported)
{
    SuiteWindow photos({QStringLiteral("Retrieve Photos")});
    SuiteWindow image({QStringLiteral("Customize Image")});
    ASSERT_TRUE(photos.Ready() && image.Ready());
    platform::MessageBoxRecorder boxes;

    EXPECT_FALSE(InitInstance(options));
    EXPECT_EQ(framesRun, 0);
    EXPECT_FALSE(MarkerTaken()) << "a refused start never takes the marker";
    EXPECT_EQ(photos.Requests(1), QStringList{QStringLiteral("SHOWNORMAL Retrieve Photos")});
    EXPECT_EQ(image.Requests(1), QStringList{QStringLiteral("SHOWNORMAL Customize Image")});
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text,
              "It is not possible to start the Create Animation wizard because the Retrieve Photos wizard is "
              "already running.\nPlease close the Retrieve Photos wizard.");
    EXPECT_EQ(boxes.Boxes()[0].caption, "Create Animation");
    EXPECT_EQ(boxes.Boxes()[0].icon, platform::BoxIcon::Information);
    EXPECT_EQ(boxes.Boxes()[0].buttons, platform::BoxButtons::Ok);
}

TEST_F(StartUp, SiblingCheckComesBeforeTheRunningInstance)
{
    SuiteWindow running({QStringLiteral("Create Animation")}, QString::fromLatin1(kSuiteLockName));
    SuiteWindow stamp({QStringLiteral("Create Stamp")});
    ASSERT_TRUE(running.Ready() && stamp.Ready());
    platform::MessageBoxRecorder boxes;

    EXPECT_FALSE(InitInstance(options));
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_NE(boxes.Boxes()[0].text.find("the Create Stamp wizard is already running"), std::string::npos);
    EXPECT_TRUE(running.Requests().isEmpty()) << "the running instance is left alone";
}

TEST_F(StartUp, RunningInstanceIsRestoredWithoutAnyBox)
{
    SuiteWindow running({QStringLiteral("Create Animation")}, QString::fromLatin1(kSuiteLockName));
    ASSERT_TRUE(running.Ready());
    platform::MessageBoxRecorder boxes;

    EXPECT_FALSE(InitInstance(options));
    EXPECT_EQ(framesRun, 0);
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_EQ(running.Requests(2),
              (QStringList{QStringLiteral("MINIMIZE Create Animation"), QStringLiteral("SHOWNORMAL Create Animation")}));
}

TEST_F(StartUp, MarkerWithoutAWindowStartsNormally)
{
    SuiteWindow starting({}, QString::fromLatin1(kSuiteLockName));
    ASSERT_TRUE(starting.Ready());
    platform::MessageBoxRecorder boxes;
    EXPECT_TRUE(InitInstance(options));
    EXPECT_EQ(framesRun, 1);
    EXPECT_EQ(frameTitle, "Create Animation");
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(StartUp, LongSiblingTitleIsCutTo31Bytes)
{
    WizardMessages texts = BuildMessages("EN");
    texts.TitleCustomizeSound = "Customize Sound and Ringtones for the Phone";
    texts.TitleCreateStamp = "Créer un tampon très très très long"; // é is two bytes
    SuiteWindow sound({QString::fromStdString(texts.TitleCustomizeSound)});
    ASSERT_TRUE(sound.Ready());
    platform::MessageBoxRecorder boxes;
    EXPECT_TRUE(CheckSiblingWizards(texts));
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    const std::string cut = "Customize Sound and Ringtones f";
    ASSERT_EQ(cut.size(), 31u);
    EXPECT_EQ(boxes.Boxes()[0].text, "It is not possible to start the Create Animation wizard because the " + cut +
                                         " wizard is already running.\nPlease close the " + cut + " wizard.");

    // "è" takes bytes 31 and 32: the whole character is left out.
    const std::string message = SiblingMessage(texts, "Créer un tampon très très tèle");
    EXPECT_NE(message.find("the Créer un tampon très très t wizard"), std::string::npos) << message;
}

} // namespace
