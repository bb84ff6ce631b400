// The parts of the phone link: names the phone's storage takes, the phone
// folder that may not lead out of the storage, finding the one phone that is
// connected, and the folder backend where the storage refuses renames.
#include "fat_names.h"
#include "folder_backend.h"
#include "link_settings.h"
#include "storage_finder.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

TEST(FatNames, EveryNameIsOneTheStorageTakes)
{
    const std::pair<std::string, std::string> cases[] = {
        {"holiday.gif", "holiday.gif"},
        {"a:b?c*d.gif", "a_b_c_d.gif"},
        {"<x>|\"y\"\\z.gif", "_x___y__z.gif"},
        {"tab\there\x01.gif", "tab_here_.gif"},
        {"trailing. . ", "trailing"},
        {"...", "_"},
        {"", "_"},
        {"CON", "_CON"},
        {"con.gif", "_con.gif"},
        {"LPT9.txt", "_LPT9.txt"},
        {"COM0.gif", "COM0.gif"},
        {"CONSOLE.gif", "CONSOLE.gif"},
        {"été \xff.gif", "été \xEF\xBF\xBD.gif"},
    };
    for (const auto& [in, want] : cases)
        EXPECT_EQ(FatSafeName(in), want) << in;

    const std::string longName = std::string(300, 'a') + ".gif";
    EXPECT_EQ(FatSafeName(longName), std::string(251, 'a') + ".gif");
    std::string wide;
    for (int i = 0; i < 130; ++i)
        wide += "é"; // 2 bytes each
    const std::string cut = FatSafeName(wide + ".gif");
    EXPECT_LE(cut.size(), 255u);
    EXPECT_EQ(cut.substr(cut.size() - 4), ".gif");
    EXPECT_EQ(cut.size() % 2, 0u) << "a character was split";
}

TEST(FatNames, ANameCutToLengthStillEndsAsTheStorageTakesIt)
{
    const std::pair<std::string, std::string> cases[] = {
        // The cut falls where the name had dots or spaces: they go, as at the end of any name.
        {std::string(75, 'n') + "..\n" + std::string(200, 'n'), std::string(75, 'n')},
        {std::string(254, 'a') + " b", std::string(254, 'a')},
        {std::string(250, 'a') + " . .  " + std::string(20, 'b'), std::string(250, 'a')},
        // What is left may be a device name.
        {"CON" + std::string(300, ' ') + "x", "_CON"},
        {"CON." + std::string(260, 'x'), "_CON"},
        {std::string(300, '.') + "x", std::string(254, '.') + "x"},
    };
    for (const auto& [in, want] : cases) {
        const std::string name = FatSafeName(in);
        EXPECT_EQ(name, want) << in.size() << " bytes";
        EXPECT_EQ(FatSafeName(name), name) << "made safe twice: " << name;
    }
}

TEST(FatNames, AlternativeNamesKeepTheExtension)
{
    EXPECT_EQ(NumberedName("holiday.gif", 1), "holiday.gif");
    EXPECT_EQ(NumberedName("holiday.gif", 2), "holiday-2.gif");
    EXPECT_EQ(NumberedName("holiday.tar.gif", 10), "holiday.tar-10.gif");
    EXPECT_EQ(NumberedName("README", 3), "README-3");
    EXPECT_EQ(NumberedName(".hidden", 2), ".hidden-2");
    EXPECT_EQ(NumberedName(std::string(251, 'a') + ".gif", 2).size(), 255u);

    // An extension too long to leave room for the number: the number goes at
    // the end of the name, cut to make room, and the name stays within 255 bytes.
    const std::string dotted = ".." + std::string(251, 'x'); // its extension: a dot and 251 bytes
    const std::pair<int, std::string> cases[] = {
        {2, ".-2." + std::string(251, 'x')},
        {10, "-10." + std::string(251, 'x')},
        {1000, ".." + std::string(248, 'x') + "-1000"},
    };
    for (const auto& [n, want] : cases)
        EXPECT_EQ(NumberedName(dotted, n), want) << n;
}

TEST(PhoneFolder, LeadsNowhereOutsideTheStorage)
{
    const struct {
        const char* folder;
        bool ok;
        std::vector<std::string> parts;
    } cases[] = {
        {"Pictures/Animations", true, {"Pictures", "Animations"}},
        {"Pictures\\Animations\\", true, {"Pictures", "Animations"}},
        {"./Pictures//x", true, {"Pictures", "x"}},
        {"", true, {}},
        {"ab:c/d?", true, {"ab_c", "d_"}},
        {"/etc", false, {}},
        {"\\Windows", false, {}},
        {"C:Pictures", false, {}},
        {"..", false, {}},
        {"Pictures/../../etc", false, {}},
        {"a\\..\\b", false, {}},
        {"a/..b/c", true, {"a", "..b", "c"}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> parts;
        std::string error;
        EXPECT_EQ(SplitPhoneFolder(c.folder, &parts, &error), c.ok) << c.folder;
        if (c.ok)
            EXPECT_EQ(parts, c.parts) << c.folder;
        else
            EXPECT_FALSE(error.empty()) << c.folder;
    }
}

TEST(PhoneFolder, PiecesGiveAboutTwentyFiveSteps)
{
    const std::pair<int64_t, std::size_t> cases[] = {
        {0, 512}, {1000, 512}, {30000, 1200}, {30001, 1201}, {100 << 20, 1 << 20},
    };
    for (const auto& [total, piece] : cases)
        EXPECT_EQ(PieceSize(total), piece) << total;
}

class StorageFinder : public ::testing::Test {
protected:
    std::string Folder(const std::string& relative)
    {
        const fs::path p = scratch.Path() / relative;
        fs::create_directories(p);
        return p.string();
    }
    StorageScan Scan(const std::string& mounts)
    {
        StorageScan scan;
        scan.mountTable = mounts;
        scan.gvfsFolder = Folder("run/gvfs");
        scan.removableRoots = {(scratch.Path() / "media").string() + "/"};
        return scan;
    }
    testsupport::ScratchDir scratch{"tessary-storage"};
};

TEST_F(StorageFinder, FindsMtpStoragesAndRemovableDisksWithPhotos)
{
    const std::string phone = Folder("run/gvfs/mtp:host=SAMSUNG_A5/Internal shared storage");
    Folder("run/gvfs/smb-share:server=nas"); // not a phone
    const std::string card = Folder("media/anne/NO NAME");
    Folder("media/anne/NO NAME/DCIM");
    Folder("media/anne/STICK/Documents");                 // removable, no DCIM
    Folder("home/DCIM");                                   // DCIM, not removable
    const std::string jmtp = Folder("mnt/jmtp/Card");
    const std::string mounts = "/dev/sda1 / ext4 rw 0 0\n"
                               "/dev/sdb1 " + (scratch.Path() / "media/anne/NO\\040NAME").string() + " vfat rw 0 0\n"
                               "/dev/sdc1 " + (scratch.Path() / "media/anne/STICK").string() + " vfat rw 0 0\n"
                               "/dev/sdd1 " + (scratch.Path() / "home").string() + " ext4 rw 0 0\n"
                               "jmtpfs " + (scratch.Path() / "mnt/jmtp").string() + " fuse.jmtpfs rw 0 0\n"
                               "garbage\n";
    EXPECT_EQ(FindPhoneStorages(Scan(mounts)), (std::vector<std::string>{phone, card, jmtp}));
}

TEST_F(StorageFinder, ChoosesOnlyWhenExactlyOnePhoneIsThere)
{
    std::string root, error;
    EXPECT_FALSE(ChoosePhoneStorage({}, &root, &error));
    EXPECT_NE(error.find("No phone found"), std::string::npos) << error;
    EXPECT_TRUE(ChoosePhoneStorage({"/media/a"}, &root, &error));
    EXPECT_EQ(root, "/media/a");
    error.clear();
    EXPECT_FALSE(ChoosePhoneStorage({"/media/a", "/media/b"}, &root, &error));
    EXPECT_NE(error.find("/media/a, /media/b"), std::string::npos) << error;
}

TEST(StorageFinderFields, MountPointsDecodeTheirEscapes)
{
    EXPECT_EQ(DecodeMountField("/media/anne/NO\\040NAME"), "/media/anne/NO NAME");
    EXPECT_EQ(DecodeMountField("/a\\011b\\134c"), "/a\tb\\c");
    EXPECT_EQ(DecodeMountField("/a\\09x\\"), "/a\\09x\\");
}

struct Recorder : CSendProgress {
    void Event(const std::string& text, int64_t, int percent, int64_t) override
    {
        texts.push_back(text);
        percents.push_back(percent);
    }
    bool Cancelled() override { return ++asked > cancelAfter; }
    std::vector<std::string> texts;
    std::vector<int> percents;
    int asked = 0;
    int cancelAfter = 1 << 30;
};

TEST(FolderBackend, WritesTheFinalNameItselfWhereRenamesAreRefused)
{
    testsupport::ScratchDir scratch("tessary-backend");
    const std::string source = scratch.File("holiday.gif");
    const std::string bytes(20000, 'g');
    testsupport::WriteFile(source, bytes);
    fs::create_directories(scratch.Path() / "phone");
    CFolderBackend backend((scratch.Path() / "phone").string());
    backend.RefuseRenameForTesting(true);
    Recorder progress;
    const SendOutcome outcome = backend.SendFile(source, "Anim", progress);
    ASSERT_TRUE(outcome.ok) << outcome.text;
    EXPECT_EQ(testsupport::ReadFile(scratch.Path() / "phone/Anim/holiday.gif"), bytes);
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(scratch.Path() / "phone/Anim"))
        names.push_back(entry.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"holiday.gif"}) << "a part file was left";
    EXPECT_TRUE(std::is_sorted(progress.percents.begin(), progress.percents.end()));
    EXPECT_EQ(progress.percents.back(), 100);
}

TEST(FolderBackend, ACancelRemovesWhatWasWritten)
{
    testsupport::ScratchDir scratch("tessary-backend");
    const std::string source = scratch.File("holiday.gif");
    testsupport::WriteFile(source, std::string(20000, 'g'));
    CFolderBackend backend(scratch.Path().string());
    Recorder progress;
    progress.cancelAfter = 3;
    const SendOutcome outcome = backend.SendFile(source, "Anim", progress);
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.text, "The transfer was cancelled.");
    EXPECT_TRUE(fs::is_empty(scratch.Path() / "Anim"));
}

TEST(LinkSettingsChoice, TheCurrentLinkChoosesTheBackend)
{
    const struct {
        const char* link;
        bool backend;
        const char* says;
    } cases[] = {
        {"USB", true, ""}, {"", true, ""}, {"Serial", true, ""},
        {"None", false, "No phone link is set up"}, {"none", false, "No phone link is set up"},
        {"Bluetooth", false, "Bluetooth is not available"},
    };
    for (const auto& c : cases) {
        std::string error;
        const auto backend = MakeBackend(LinkSettings{c.link, "/tmp"}, &error);
        EXPECT_EQ(backend != nullptr, c.backend) << c.link;
        EXPECT_NE(error.find(c.says), std::string::npos) << c.link << ": " << error;
    }
}

} // namespace
