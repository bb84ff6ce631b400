// Shared by the tests of the save and the transfer page: the whole frame with
// recording movies, and a temporary animation written the way the animation
// editor leaves it for these pages.
#pragma once

#include "dlg_frame.h"
#include "test_support.h"
#include "wiz_page.h"
#include "wizard_test_support.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace transfertest {

// Fills g_animDoc with `frames` frames of 16 x 16, writes it with the
// document's own writer to the temporary GIF of `name` in `installFolder`, and
// sets g_tempGifPath and g_strAnimName as the animation editor does. Returns
// the file's bytes ("" when it could not be written).
std::string WriteTemporaryAnimation(const std::string& installFolder, const std::string& name, int frames = 3);

// Sets a string value of the test's settings store ("" key: the product key).
void SetSetting(const std::string& subKey, const std::string& name, const std::string& value);
std::string GetSetting(const std::string& subKey, const std::string& name);

class PageTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    CWizPage* Page(int i) { return frame->Page(i); }
    wizard_test::RecordingMovie* Movie(int i) { return wizard_test::RecordingMovies::Of(Page(i)->m_movie); }
    // Shows page `i` as the frame would after a switch from `from`.
    void ShowOnly(int i, int from = -1);
    // The movie of page `i` sends a command; then the frame handles what was posted.
    void Command(int i, const std::string& command, const std::string& args = "");
    void Key(int i, int key);

    testsupport::ScratchDir scratch{"tessary-transfer-page"};
    std::unique_ptr<wizard_test::RecordingMovies> movies;
    std::unique_ptr<CDlgFrame> frame;
};

} // namespace transfertest
