// Saving and sending, walked the way a user does with the English movie: the
// save page's button and the save dialog, then the transfer page with the real
// phone link, ending with the animation in a temporary phone storage folder,
// byte for byte the copy saved on the computer.
#include "dlg_frame.h"
#include "movie_ctrl.h"
#include "registry_store.h"
#include "route_tables.h"
#include "save_file_dialog.h"
#include "wiz_page.h"
#include "wizard_driver_support.h"
#include "wizard_globals.h"

#include <QElapsedTimer>
#include <QFile>
#include <QQuickItem>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

std::string ReadBytes(const fs::path& path)
{
    QFile file(QString::fromStdString(path.string()));
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string("(missing)");
}

TEST(SaveAndSendWalk, TheAnimationEndsOnThePhoneByteForByteAsSaved)
{
    e2e::WizardDriver wizard("EN");
    ASSERT_NE(wizard.Page(kPageSave)->m_movie->rootObject(), nullptr) << "the English movie did not load";
    const fs::path work = e2e::WorkFolder();
    const fs::path phone = work / "phone";
    const fs::path saved = work / "saved";
    fs::remove_all(phone);
    fs::create_directories(phone);
    fs::create_directories(saved);
    ::setenv("TESSARY_PHONE_STORAGE", phone.c_str(), 1);
    ASSERT_EQ(platform::RegistrySetString("SOFTWARE\\Quenlor\\Tessary", "Current Link", "USB"), platform::kRegOk);

    // Start page: from a picture; the content page picks an animated GIF; the
    // picture editor and the animation editor go on; the save page.
    wizard.Key(Qt::Key_Return);
    ASSERT_TRUE(wizard.Click(QStringLiteral("choiceOpen")));
    ASSERT_TRUE(wizard.Click(QStringLiteral("nextButton")));
    ASSERT_TRUE(e2e::PickContentFile(wizard, QStringLiteral("square_walks_eight_frames.gif"), e2e::FixtureFolder()));
    ASSERT_TRUE(wizard.Click(QStringLiteral("nextButton")));
    ASSERT_EQ(wizard.CurrentPage(), kPagePictureEditor);
    ASSERT_TRUE(wizard.Click(QStringLiteral("nextButton")));
    ASSERT_EQ(wizard.CurrentPage(), kPageAnimEditor);
    ASSERT_TRUE(wizard.Click(QStringLiteral("nextButton")));
    ASSERT_EQ(wizard.CurrentPage(), kPageSave) << wizard.VisibleNames().join(QStringLiteral(", ")).toStdString();
    const std::string sentence = wizard.Page(kPageSave)->m_movie->GetVariable("TxtPrepTr");
    EXPECT_NE(sentence.find("square_walks.gif"), std::string::npos) << sentence;
    EXPECT_EQ(sentence.find("%1%"), std::string::npos) << sentence;
    EXPECT_EQ(sentence.find("%2%"), std::string::npos) << sentence;

    // Save a copy, typed without its extension.
    {
        platform::SaveFileDialogRecorder dialog;
        dialog.QueueSave((saved / "my walk").string());
        ASSERT_TRUE(wizard.Click(QStringLiteral("SaveOnComp")));
        ASSERT_EQ(dialog.Requests().size(), 1u);
    }
    const std::string copy = ReadBytes(saved / "my walk.gif");
    EXPECT_EQ(copy, ReadBytes(g_tempGifPath));
    EXPECT_EQ(copy.substr(0, 6), "GIF89a");

    // Send: the movie starts the transfer by itself and shows the result.
    ASSERT_TRUE(wizard.Click(QStringLiteral("nextButton")));
    ASSERT_EQ(wizard.CurrentPage(), kPageTransfer);
    CMovieCtrl* movie = wizard.Page(kPageTransfer)->m_movie;
    QElapsedTimer timer;
    timer.start();
    while (movie->FrameNum() != 9 && timer.elapsed() < 20000)
        e2e::Wait(50);
    ASSERT_EQ(movie->FrameNum(), 9) << "no result after 20 s";
    const std::string result = movie->GetVariable("_ErrTxt");
    EXPECT_NE(result.find("square_walks.gif"), std::string::npos) << result;
    EXPECT_EQ(result.find("<B>"), std::string::npos) << result;
    EXPECT_EQ(movie->TCurrentFrame("barre"), 26);
    EXPECT_EQ(ReadBytes(phone / "Pictures/Animations/square_walks.gif"), copy);
    EXPECT_NE(wizard.Item(QStringLiteral("_ErrTxt")), nullptr);

    // A new animation: the temporary file goes.
    const std::string temp = g_tempGifPath;
    ASSERT_TRUE(wizard.Click(QStringLiteral("nextButton")));
    EXPECT_EQ(wizard.CurrentPage(), kPageStart);
    EXPECT_FALSE(fs::exists(temp));
    ::unsetenv("TESSARY_PHONE_STORAGE");
}

} // namespace
