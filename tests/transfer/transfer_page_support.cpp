#include "transfer_page_support.h"

#include "anim_doc.h"
#include "edit_result.h"
#include "messages.h"
#include "page_factory.h"
#include "raster.h"
#include "registry_store.h"
#include "settings.h"
#include "wiz_page.h"
#include "wizard_globals.h"

#include <QApplication>
#include <QKeyEvent>

namespace transfertest {

std::string WriteTemporaryAnimation(const std::string& installFolder, const std::string& name, int frames)
{
    g_animDoc.SetDelayLimits(5, 500, 50);
    // The document keeps its last frame: it is replaced by the first new one.
    while (g_animDoc.GetFrameCount() > 1)
        g_animDoc.DeleteFrame(g_animDoc.GetFrameCount() - 1);
    for (int f = 0; f < frames; ++f) {
        auto* picture = new CRaster(16, 16, 8, FormatGif);
        for (int i = 0; i < 4; ++i)
            picture->SetPaletteIndex(uint8_t(i), uint8_t(60 * i), uint8_t(255 - 60 * i), uint8_t(40 * f));
        for (long y = 0; y < 16; ++y)
            for (long x = 0; x < 16; ++x)
                picture->SetPixelIndex(x, y, uint8_t((x / 4 + y / 4 + f) % 4));
        picture->SetFrameDelay(20);
        if (f == 0 && g_animDoc.GetFrameCount() == 1)
            g_animDoc.ReplaceFrame(0, picture);
        else
            g_animDoc.InsertFrame(g_animDoc.GetFrameCount(), picture);
    }
    g_strAnimName = name;
    g_tempGifPath = TemporaryGifPath(installFolder, name);
    std::filesystem::create_directories(std::filesystem::path(g_tempGifPath).parent_path());
    if (!g_animDoc.SaveGif(g_tempGifPath))
        return {};
    return testsupport::ReadFile(g_tempGifPath);
}

void SetSetting(const std::string& subKey, const std::string& name, const std::string& value)
{
    ASSERT_EQ(platform::RegistrySetString(std::string(kSettingsBaseKey) + subKey, name, value), platform::kRegOk)
        << name;
}

std::string GetSetting(const std::string& subKey, const std::string& name)
{
    std::string bytes;
    if (platform::RegistryQueryValue(std::string(kSettingsBaseKey) + subKey, name, 520, bytes) != platform::kRegOk)
        return "(unreadable)";
    return bytes.substr(0, bytes.find('\0'));
}

void PageTest::SetUp()
{
    wizard_test::EnsureApp();
    g_messages = BuildMessages("EN");
    ASSERT_FALSE(WriteTemporaryAnimation((scratch.Path() / "install").string(), "holiday").empty());
    movies = std::make_unique<wizard_test::RecordingMovies>();
    frame = std::make_unique<CDlgFrame>(&CreateWizardPage);
    frame->OnInitDialog();
    frame->show();
    wizard_test::Pump(CDlgFrame::kPageTimerMs + 100);
    ASSERT_EQ(frame->m_pages.size(), 6u);
}

void PageTest::TearDown()
{
    frame.reset();
    movies.reset();
    g_tempGifPath.clear();
}

void PageTest::ShowOnly(int i, int from)
{
    for (CWizPage* page : frame->m_pages)
        page->hide();
    frame->m_previous = from;
    frame->m_current = i;
    frame->ShowCurrentPage();
    wizard_test::Pump();
}

void PageTest::Command(int i, const std::string& command, const std::string& args)
{
    Page(i)->m_movie->FireFSCommand(command, args);
    wizard_test::Pump();
}

void PageTest::Key(int i, int key)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(Page(i)->m_movie, &press);
    wizard_test::Pump();
}

} // namespace transfertest
