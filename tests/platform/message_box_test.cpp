#include "message_box.h"

#include "raster.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <thread>

using namespace platform;

TEST(MessageBoxRecorder, CapturesEveryBoxAndAnswersInQueueOrderThenWithTheDefault)
{
    MessageBoxRecorder recorder(BoxResult::No);
    recorder.QueueAnswer(BoxResult::Yes);
    recorder.QueueAnswer(BoxResult::Cancel);

    EXPECT_EQ(ShowMessageBox(nullptr, "first\nline", "Caption", BoxIcon::Question, BoxButtons::YesNoCancel),
              BoxResult::Yes);
    EXPECT_EQ(ShowMessageBox(nullptr, "second", "Caption", BoxIcon::Warning, BoxButtons::OkCancel),
              BoxResult::Cancel);
    EXPECT_EQ(ShowMessageBox(nullptr, "third", "Other", BoxIcon::Error, BoxButtons::YesNo), BoxResult::No);

    ASSERT_EQ(recorder.Boxes().size(), 3u);
    EXPECT_EQ(recorder.Boxes()[0].text, "first\nline");
    EXPECT_EQ(recorder.Boxes()[0].icon, BoxIcon::Question);
    EXPECT_EQ(recorder.Boxes()[0].buttons, BoxButtons::YesNoCancel);
    EXPECT_EQ(recorder.Boxes()[2].caption, "Other");
    EXPECT_EQ(recorder.Boxes()[2].icon, BoxIcon::Error);
}

TEST(MessageBoxRecorder, NestedRecordersRestoreTheOuterOne)
{
    MessageBoxRecorder outer;
    {
        MessageBoxRecorder inner;
        ShowMessageBox(nullptr, "inner", "c");
        EXPECT_EQ(inner.Boxes().size(), 1u);
    }
    ShowMessageBox(nullptr, "outer", "c");
    ASSERT_EQ(outer.Boxes().size(), 1u);
    EXPECT_EQ(outer.Boxes()[0].text, "outer");
}

TEST(MessageBoxRecorder, RecordsBoxesFromOtherThreads)
{
    MessageBoxRecorder recorder;
    std::thread worker([] {
        for (int i = 0; i < 100; ++i)
            ShowMessageBox(nullptr, "worker", "c");
    });
    for (int i = 0; i < 100; ++i)
        ShowMessageBox(nullptr, "ui", "c");
    worker.join();
    EXPECT_EQ(recorder.Boxes().size(), 200u);
}

TEST(RasterMessages, ReachTheBoxWithTheirIcon)
{
    InstallRasterMessageHandler();
    MessageBoxRecorder recorder;
    RasterMessageBox("File open error", "Load", RasterBoxError);
    RasterMessageBox("Done", "Info", RasterBoxInformation);
    RasterMessageBox(nullptr, nullptr, RasterBoxNone);
    ASSERT_EQ(recorder.Boxes().size(), 3u);
    EXPECT_EQ(recorder.Boxes()[0].text, "File open error");
    EXPECT_EQ(recorder.Boxes()[0].caption, "Load");
    EXPECT_EQ(recorder.Boxes()[0].icon, BoxIcon::Error);
    EXPECT_EQ(recorder.Boxes()[0].buttons, BoxButtons::Ok);
    EXPECT_EQ(recorder.Boxes()[1].icon, BoxIcon::Information);
    EXPECT_EQ(recorder.Boxes()[2].text, "");
    EXPECT_EQ(recorder.Boxes()[2].icon, BoxIcon::None);
    SetRasterMessageHandler(nullptr);
}

TEST(DefaultBoxes, WithoutAWindowSystemGoToStandardErrorAndChangeNothing)
{
    ASSERT_EQ(QCoreApplication::instance(), nullptr);
    struct Case {
        BoxButtons buttons;
        BoxResult answer;
    };
    for (const Case& c : {Case{BoxButtons::Ok, BoxResult::Ok}, Case{BoxButtons::OkCancel, BoxResult::Cancel},
                          Case{BoxButtons::YesNo, BoxResult::No}, Case{BoxButtons::YesNoCancel, BoxResult::Cancel}}) {
        testing::internal::CaptureStderr();
        BoxResult answer = ShowMessageBox(nullptr, "Replace it?", "Create Animation", BoxIcon::Question, c.buttons);
        std::string printed = testing::internal::GetCapturedStderr();
        EXPECT_EQ(answer, c.answer);
        EXPECT_EQ(printed, "Create Animation: Replace it?\n");
    }
}

// Runs last in this file: it creates the application object.
TEST(QtBoxes, ShowTextCaptionIconAndButtonsAndReturnThePressedOne)
{
    int argc = 1;
    char name[] = "message_box_test";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);

    struct Case {
        BoxIcon icon;
        BoxButtons buttons;
        QMessageBox::StandardButton press;
        BoxResult want;
        QMessageBox::Icon qtIcon;
        int buttonCount;
    };
    const Case cases[] = {
        {BoxIcon::Error, BoxButtons::Ok, QMessageBox::Ok, BoxResult::Ok, QMessageBox::Critical, 1},
        {BoxIcon::Information, BoxButtons::OkCancel, QMessageBox::Cancel, BoxResult::Cancel,
         QMessageBox::Information, 2},
        {BoxIcon::Question, BoxButtons::YesNo, QMessageBox::No, BoxResult::No, QMessageBox::Question, 2},
        {BoxIcon::Warning, BoxButtons::YesNoCancel, QMessageBox::Yes, BoxResult::Yes, QMessageBox::Warning, 3},
    };
    for (const Case& c : cases) {
        QString seenText, seenCaption;
        QMessageBox::Icon seenIcon = QMessageBox::NoIcon;
        int seenButtons = -1;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            seenText = box->text();
            seenCaption = box->windowTitle();
            seenIcon = box->icon();
            seenButtons = static_cast<int>(box->buttons().size());
            box->button(c.press)->click();
        });
        BoxResult result = ShowMessageBox(nullptr, "Animation size\nline two", "Créer une animation", c.icon, c.buttons);
        EXPECT_EQ(result, c.want);
        EXPECT_EQ(seenText, QString("Animation size\nline two"));
        EXPECT_EQ(seenCaption, QString::fromUtf8("Créer une animation"));
        EXPECT_EQ(seenIcon, c.qtIcon);
        EXPECT_EQ(seenButtons, c.buttonCount);
    }

    // A box asked for by a worker thread is shown by the UI thread.
    BoxResult fromWorker = BoxResult::Cancel;
    bool shownOnUiThread = false;
    std::thread worker([&] {
        fromWorker = ShowMessageBox(nullptr, "from the worker", "c", BoxIcon::None, BoxButtons::YesNo);
    });
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            shownOnUiThread = box->thread() == app.thread();
            box->button(QMessageBox::Yes)->click();
        }
    });
    poll.start(5);
    while (worker.joinable()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        if (fromWorker != BoxResult::Cancel) {
            worker.join();
        }
    }
    EXPECT_EQ(fromWorker, BoxResult::Yes);
    EXPECT_TRUE(shownOnUiThread);
}
