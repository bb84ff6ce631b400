// The rules under the texts the save and transfer pages give their movies
// (the whole texts are checked through the pages): filled in one pass, every
// value escaped for the movie's rich text, the progress held to its bar.
#include "transfer_text.h"

#include <gtest/gtest.h>

namespace {

TEST(TransferText, EscapesExactlyTheMarkUpCharacters)
{
    const std::pair<const char*, const char*> cases[] = {
        {"holiday", "holiday"},
        {"a<b>c", "a&lt;b&gt;c"},
        {"Tom & Jerry", "Tom &amp; Jerry"},
        {"&lt;", "&amp;lt;"},
        {"\"quoted\" 'single' été", "\"quoted\" 'single' été"},
        {"", ""},
    };
    for (const auto& [in, want] : cases)
        EXPECT_EQ(EscapeRichText(in), want) << in;
}

TEST(TransferText, PlaceholdersAreFilledInOnePass)
{
    const struct {
        const char* text;
        const char* first;
        const char* second;
        const char* want;
    } cases[] = {
        {"Your animation %1% (%2% bytes)", "x.gif", "10", "Your animation x.gif (10 bytes)"},
        {"%1%%1% and %2%%2%", "a", "b", "aa and bb"},
        // A value is never searched again: a name holding "%2%" keeps it.
        {"%1% is %2% bytes", "50%2%off.gif", "99", "50%2%off.gif is 99 bytes"},
        {"%1% is %2% bytes", "%1%", "%2%", "%1% is %2% bytes"},
        {"%1 %2 %% %3%", "a", "b", "%1 %2 %% %3%"},
        {"", "a", "b", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FillPlaceholdersOnce(c.text, {{"%1%", c.first}, {"%2%", c.second}}), c.want) << c.text;
}

TEST(TransferText, ProgressBarFramesRunFromOneToTwentySix)
{
    const std::pair<intptr_t, int> cases[] = {
        {0, 1}, {3, 1}, {4, 2}, {50, 13}, {99, 25}, {100, 26}, {-5, 1}, {150, 26}, {INT32_MAX, 26}, {INT32_MIN, 1},
    };
    for (const auto& [percent, frame] : cases)
        EXPECT_EQ(ProgressBarFrame(static_cast<uintptr_t>(percent)), frame) << percent;
}

TEST(TransferText, SaveDialogPathRules)
{
    EXPECT_EQ(SaveDialogFilter("gif"), "gif|*.gif||");
    const struct {
        const char* path;
        bool hasExtension;
        const char* folder;
    } cases[] = {
        {"/home/anne/holiday.gif", true, "/home/anne/"},
        {"/home/anne/holiday", false, "/home/anne/"},
        {"/home/an.ne/holiday", false, "/home/an.ne/"},
        {"/home/anne/.gif", false, "/home/anne/"},
        {"/home/anne/holiday.", false, "/home/anne/"},
        {"C:\\Users\\anne\\holiday.gif", true, "C:\\Users\\anne\\"},
        {"holiday.gif", true, ""},
        {"", false, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(HasFileExtension(c.path), c.hasExtension) << c.path;
        EXPECT_EQ(FolderOfSavedPath(c.path), c.folder) << c.path;
    }
}

} // namespace
