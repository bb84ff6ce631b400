// The wizard started to open a picture ("Open with" in a file manager): the
// open route as if the user had picked the file, straight to the picture
// editor; a file it cannot read is named in a box and the start page shows.
#include "dlg_frame.h"
#include "message_box.h"
#include "open_on_start.h"
#include "route_tables.h"
#include "wiz_page.h"
#include "wizard_driver_support.h"
#include "wizard_globals.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace {

TEST(OpenWith, APictureOnTheCommandLineOpensOnThePictureEditor)
{
    e2e::WizardDriver wizard("EN");
    const std::string path = e2e::ContentFixtureFolder().toStdString() + "/bounce.gif";
    platform::MessageBoxRecorder boxes;
    ASSERT_TRUE(OpenPictureOnStart(wizard.Frame(), path));
    e2e::Wait(300);
    EXPECT_EQ(wizard.CurrentPage(), kPagePictureEditor);
    EXPECT_TRUE(wizard.Page(kPagePictureEditor)->isVisible());
    EXPECT_FALSE(wizard.Page(kPageStart)->isVisible());
    EXPECT_FALSE(wizard.Page(kPageContent)->isVisible());
    EXPECT_EQ(g_strSourcePath, path);
    EXPECT_EQ(g_animDoc.GetFrameCount(), 4);
    EXPECT_EQ(g_imageSize, 128);
    EXPECT_EQ(g_createNew, 0);
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST(OpenWith, AFileThatCannotBeReadShowsWhyAndTheStartPage)
{
    e2e::WizardDriver wizard("EN");
    const std::string broken = QDir::tempPath().toStdString() + "/tessary-open-with-broken.png";
    {
        QFile file(QString::fromStdString(broken));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("not a picture at all");
    }
    for (const std::string& path : {broken, std::string("/nonexistent/holiday.gif")}) {
        SCOPED_TRACE(path);
        platform::MessageBoxRecorder boxes;
        EXPECT_FALSE(OpenPictureOnStart(wizard.Frame(), path));
        e2e::Wait(200);
        EXPECT_EQ(wizard.CurrentPage(), kPageStart);
        EXPECT_TRUE(wizard.Page(kPageStart)->isVisible());
        EXPECT_FALSE(wizard.Page(kPageContent)->isVisible());
        ASSERT_FALSE(boxes.Boxes().empty());
        EXPECT_EQ(boxes.Boxes().back().text, "Invalid picture :" + path);
    }
    QFile::remove(QString::fromStdString(broken));
}

TEST(OpenWith, TheFirstArgumentThatIsNotAnOptionNamesThePicture)
{
    const std::string here = QDir::currentPath().toStdString();
    struct Case {
        std::vector<const char*> args;
        std::string want;
    };
    const Case cases[] = {
        {{"wizard"}, ""},
        {{"wizard", "/p/a.jpg"}, "/p/a.jpg"},
        {{"wizard", "--verbose", "/p/a.jpg"}, "/p/a.jpg"}, // options are not pictures
        {{"wizard", "--", "-dash.png"}, here + "/-dash.png"},
        {{"wizard", "rel/b.png", "/p/c.png"}, here + "/rel/b.png"},
        {{"wizard", "/p/../q/./d.bmp"}, "/q/d.bmp"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PictureFromArguments(int(c.args.size()), c.args.data()), c.want) << c.args.size();
}

} // namespace
