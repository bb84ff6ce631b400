#include "shell_file_op.h"

#include "file_operation.h"
#include "message_box.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QProgressDialog>
#include <QTimer>

#include <filesystem>
#include <string>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using platform::BoxResult;
using platform::MessageBoxRecorder;
using namespace testsupport;

namespace {

class ShellFileOpTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir = MakeTempDir("tessary-fileop");
        ASSERT_FALSE(m_dir.empty());
    }
    void TearDown() override
    {
        if (!m_mount.empty())
            ::umount(m_mount.c_str());
        RemoveTree(m_dir);
    }

    fs::path File(const std::string& name, const std::string& content)
    {
        fs::path p = m_dir / name;
        fs::create_directories(p.parent_path());
        WriteFile(p, content);
        return p;
    }

    // Names in the test folder (recursively) that look like temporary copies.
    int Temporaries()
    {
        int n = 0;
        for (const auto& e : fs::recursive_directory_iterator(m_dir)) {
            if (e.path().filename().string().find(".copy.") != std::string::npos)
                ++n;
        }
        return n;
    }

    struct Outcome {
        bool result = false;
        bool called = false;
        int status = -1;
        bool aborted = false;
    };
    Outcome Run(CShellFileOp& op)
    {
        Outcome o;
        o.result = op.Go(&o.called, &o.status, &o.aborted);
        return o;
    }

    fs::path m_dir;
    std::string m_mount;
};

} // namespace

TEST_F(ShellFileOpTest, GoChecksOperationAndListsBeforeCallingAnything)
{
    const fs::path sources[] = {m_dir / "a.gif", m_dir / "b.gif", m_dir / "c.gif"};
    fs::create_directory(m_dir / "out");
    struct Case {
        const char* what;
        bool setOperation;
        unsigned code;
        int sources;
        int destinations;
        bool called;
        bool multiDest;
    };
    const Case cases[] = {
        {"copy 2 to 2", true, FO_COPY, 2, 2, true, true},
        {"copy 2 to 1", true, FO_COPY, 2, 1, true, false},
        {"copy 1 to 1", true, FO_COPY, 1, 1, true, false},
        {"copy 2 to 3", true, FO_COPY, 2, 3, false, false},
        {"copy 3 to 2", true, FO_COPY, 3, 2, false, false},
        {"copy to nothing", true, FO_COPY, 1, 0, false, false},
        {"copy of nothing", true, FO_COPY, 0, 1, false, false},
        {"move to nothing", true, FO_MOVE, 1, 0, false, false},
        {"delete without destinations", true, FO_DELETE, 3, 0, true, false},
        {"delete ignores destinations", true, FO_DELETE, 1, 3, true, true},
        {"no operation set", false, FO_COPY, 1, 1, false, false},
        {"code 0", true, 0, 1, 1, false, false},
        {"code 5", true, 5, 1, 1, false, false},
    };
    for (const Case& c : cases) {
        // Fresh sources every round: moves and deletes use them up.
        File("a.gif", "A"), File("b.gif", "B"), File("c.gif", "C");
        CShellFileOp op;
        if (c.setOperation)
            op.SetOperation(c.code, nullptr, FOF_NOCONFIRMATION | FOF_NOERRORUI);
        for (int i = 0; i < c.sources; ++i)
            op.AddSource(sources[i].string());
        for (int i = 0; i < c.destinations; ++i)
            op.AddDestination(c.destinations == 1 ? (m_dir / "out").string()
                                                  : (m_dir / "out" / ("d" + std::to_string(i))).string());
        Outcome o = Run(op);
        EXPECT_EQ(o.called, c.called) << c.what;
        EXPECT_EQ(op.GoCalled(), c.called) << c.what;
        if (!c.called) {
            EXPECT_FALSE(o.result) << c.what;
            EXPECT_EQ(o.status, -1) << c.what << ": the return value is left alone";
            continue;
        }
        EXPECT_EQ((op.LastFlags() & FOF_MULTIDESTFILES) != 0, c.multiDest) << c.what;
        EXPECT_TRUE(o.result) << c.what << " status " << o.status;
    }
}

TEST_F(ShellFileOpTest, PathListsEndWithTwoZeroBytes)
{
    fs::path a = File("a.gif", "A"), b = File("b.gif", "B");
    CShellFileOp op;
    op.SetOperation(FO_COPY, nullptr, FOF_NOCONFIRMATION);
    op.AddSource(a.string());
    op.AddSource(b.string());
    op.AddDestination((m_dir / "x").string());
    op.AddDestination((m_dir / "y").string());
    ASSERT_TRUE(op.Go());
    EXPECT_EQ(op.LastFromList(), a.string() + '\0' + b.string() + '\0' + '\0');
    EXPECT_EQ(op.LastFromList().size(), a.string().size() + b.string().size() + 2 + 1);
    EXPECT_EQ(op.LastToList(), (m_dir / "x").string() + '\0' + (m_dir / "y").string() + '\0' + '\0');
    EXPECT_EQ(op.LastFlags(), FOF_NOCONFIRMATION | FOF_MULTIDESTFILES);
    EXPECT_EQ(ReadFile(m_dir / "y"), "B");

    // Reset forgets everything, so the next Go does nothing.
    op.Reset();
    EXPECT_FALSE(op.Go());
    EXPECT_FALSE(op.GoCalled());
    EXPECT_EQ(platform::SplitPathList(std::string("p\0q r\0\0", 7).c_str()),
              (std::vector<std::string>{"p", "q r"}));
}

TEST_F(ShellFileOpTest, CopyPlacesFilesByDestinationKind)
{
    fs::path a = File("src/a.gif", "AAA"), b = File("src/b.gif", "BBBB");
    ::chmod(a.c_str(), 0640);
    fs::create_directory(m_dir / "folder");
    {
        CShellFileOp op; // to a new name, in a folder that does not exist yet
        op.SetOperation(FO_COPY, nullptr, 0);
        op.AddSource(a.string());
        op.AddDestination((m_dir / "new/renamed.gif").string());
        EXPECT_TRUE(op.Go());
        EXPECT_EQ(ReadFile(m_dir / "new/renamed.gif"), "AAA");
        struct stat st{};
        ::stat((m_dir / "new/renamed.gif").c_str(), &st);
        EXPECT_EQ(st.st_mode & 0777, 0640u) << "the copy keeps the permissions";
    }
    {
        CShellFileOp op; // one source into an existing folder
        op.SetOperation(FO_COPY, nullptr, 0);
        op.AddSource(a.string());
        op.AddDestination((m_dir / "folder").string());
        EXPECT_TRUE(op.Go());
        EXPECT_EQ(ReadFile(m_dir / "folder/a.gif"), "AAA");
    }
    {
        CShellFileOp op; // several sources into one folder, made when missing
        op.SetOperation(FO_COPY, nullptr, 0);
        op.AddSource(a.string());
        op.AddSource(b.string());
        op.AddDestination((m_dir / "both").string());
        EXPECT_TRUE(op.Go());
        EXPECT_EQ(ReadFile(m_dir / "both/a.gif"), "AAA");
        EXPECT_EQ(ReadFile(m_dir / "both/b.gif"), "BBBB");
    }
    {
        CShellFileOp op; // a pattern
        op.SetOperation(FO_COPY, nullptr, FOF_FILESONLY);
        op.AddSource((m_dir / "src/*.gif").string());
        op.AddDestination((m_dir / "pattern").string());
        EXPECT_TRUE(op.Go());
        EXPECT_TRUE(fs::exists(m_dir / "pattern/a.gif") && fs::exists(m_dir / "pattern/b.gif"));
    }
    EXPECT_EQ(ReadFile(a), "AAA") << "the source is untouched";
    EXPECT_EQ(Temporaries(), 0);
}

TEST_F(ShellFileOpTest, ExistingDestinationIsReplacedOnlyWhenTheUserSaysSo)
{
    struct Case {
        unsigned flags;
        BoxResult answer;
        int boxes;
        std::string content;
        bool result;
        bool aborted;
    };
    const Case cases[] = {
        {0, BoxResult::Yes, 1, "new", true, false},
        {0, BoxResult::No, 1, "old", true, false},
        {0, BoxResult::Cancel, 1, "old", false, true},
        {FOF_NOCONFIRMATION, BoxResult::Cancel, 0, "new", true, false},
    };
    for (const Case& c : cases) {
        fs::path source = File("new.gif", "new");
        fs::path target = File("dest/new.gif", "old");
        MessageBoxRecorder recorder(c.answer);
        CShellFileOp op;
        op.SetOperation(FO_COPY, nullptr, c.flags);
        op.AddSource(source.string());
        op.AddDestination(target.string());
        Outcome o = Run(op);
        EXPECT_EQ(o.result, c.result);
        EXPECT_EQ(o.aborted, c.aborted);
        EXPECT_EQ(ReadFile(target), c.content);
        ASSERT_EQ(static_cast<int>(recorder.Boxes().size()), c.boxes);
        if (c.boxes) {
            EXPECT_EQ(recorder.Boxes()[0].buttons, platform::BoxButtons::YesNoCancel);
            EXPECT_NE(recorder.Boxes()[0].text.find("new.gif"), std::string::npos);
        }
        if (c.aborted) {
            EXPECT_EQ(o.status, platform::kFileOpCancelled);
        }
    }
}

TEST_F(ShellFileOpTest, FailuresReturnTheirNumberAndShowABoxUnlessTold)
{
    fs::path a = File("a.gif", "A");
    fs::create_directory(m_dir / "folder");
    fs::create_directory_symlink(m_dir / "folder", m_dir / "link");
    ASSERT_EQ(::mkfifo((m_dir / "pipe").c_str(), 0644), 0);
    struct Case {
        const char* what;
        unsigned code;
        std::string from;
        std::string to;
        int status;
    };
    const Case cases[] = {
        {"copy onto itself", FO_COPY, a.string(), a.string(), platform::kFileOpSameFile},
        {"copy into its own folder", FO_COPY, a.string(), m_dir.string(), platform::kFileOpSameFile},
        {"move onto itself", FO_MOVE, a.string(), a.string(), platform::kFileOpSameFile},
        {"missing source", FO_COPY, (m_dir / "none.gif").string(), (m_dir / "x.gif").string(),
         platform::kFileOpNotFound},
        {"delete missing", FO_DELETE, (m_dir / "none.gif").string(), "", platform::kFileOpNotFound},
        {"folder with files only", FO_COPY, (m_dir / "folder").string(), (m_dir / "f2").string(),
         platform::kFileOpInvalidFiles},
        {"delete folder with files only", FO_DELETE, (m_dir / "folder").string(), "",
         platform::kFileOpInvalidFiles},
        {"folder into itself", FO_MOVE, m_dir.string(), (m_dir / "folder").string(), platform::kFileOpDestSubtree},
        // A link to a folder is a folder: refused with files only, never copied into itself.
        {"link to a folder with files only", FO_COPY, (m_dir / "link").string(), (m_dir / "f3").string(),
         platform::kFileOpInvalidFiles},
        {"link to a folder into itself", FO_COPY, (m_dir / "link").string(), (m_dir / "link/inner").string(),
         platform::kFileOpDestSubtree},
        // Neither a wait for a writer nor a success without a copy.
        {"pipe", FO_COPY, (m_dir / "pipe").string(), (m_dir / "p.gif").string(), platform::kFileOpAccessDenied},
        {"device", FO_COPY, "/dev/null", (m_dir / "d.gif").string(), platform::kFileOpAccessDenied},
    };
    for (bool quiet : {false, true}) {
        for (const Case& c : cases) {
            MessageBoxRecorder recorder;
            CShellFileOp op;
            unsigned flags = FOF_NOCONFIRMATION | (quiet ? FOF_NOERRORUI : 0);
            if (std::string(c.what).find("files only") != std::string::npos)
                flags |= FOF_FILESONLY;
            op.SetOperation(c.code, nullptr, flags);
            op.AddSource(c.from);
            if (!c.to.empty())
                op.AddDestination(c.to);
            Outcome o = Run(op);
            EXPECT_TRUE(o.called) << c.what;
            EXPECT_FALSE(o.result) << c.what;
            EXPECT_EQ(o.status, c.status) << c.what;
            EXPECT_EQ(recorder.Boxes().size(), quiet ? 0u : 1u) << c.what;
            if (!quiet && !recorder.Boxes().empty()) {
                EXPECT_EQ(recorder.Boxes()[0].icon, platform::BoxIcon::Error) << c.what;
            }
        }
    }
    EXPECT_EQ(ReadFile(a), "A") << "a refused copy onto itself leaves the file whole";
    EXPECT_TRUE(fs::is_directory(m_dir / "folder"));
    for (const char* name : {"f3", "folder/inner", "p.gif", "d.gif"})
        EXPECT_FALSE(fs::exists(m_dir / name)) << name;
    EXPECT_EQ(Temporaries(), 0);
}

TEST_F(ShellFileOpTest, MoveAndRenameTakeTheFileAlong)
{
    fs::path a = File("a.gif", "A"), b = File("b.gif", "B");
    fs::create_directory(m_dir / "sub");
    CShellFileOp move;
    move.SetOperation(FO_MOVE, nullptr, 0);
    move.AddSource(a.string());
    move.AddDestination((m_dir / "sub").string());
    EXPECT_TRUE(move.Go());
    EXPECT_FALSE(fs::exists(a));
    EXPECT_EQ(ReadFile(m_dir / "sub/a.gif"), "A");

    CShellFileOp rename;
    rename.SetOperation(FO_RENAME, nullptr, FOF_NOCONFIRMATION);
    rename.AddSource(b.string());
    rename.AddDestination((m_dir / "sub/a.gif").string());
    EXPECT_TRUE(rename.Go());
    EXPECT_FALSE(fs::exists(b));
    EXPECT_EQ(ReadFile(m_dir / "sub/a.gif"), "B");
}

TEST_F(ShellFileOpTest, DeleteAsksFirstUnlessTold)
{
    fs::path a = File("a.gif", "A");
    {
        MessageBoxRecorder recorder(BoxResult::No);
        CShellFileOp op;
        op.SetOperation(FO_DELETE, nullptr, 0);
        op.AddSource(a.string());
        Outcome o = Run(op);
        EXPECT_FALSE(o.result);
        EXPECT_TRUE(o.aborted);
        EXPECT_TRUE(fs::exists(a));
        ASSERT_EQ(recorder.Boxes().size(), 1u);
        EXPECT_EQ(recorder.Boxes()[0].buttons, platform::BoxButtons::YesNo);
    }
    {
        MessageBoxRecorder recorder(BoxResult::Yes);
        CShellFileOp op;
        op.SetOperation(FO_DELETE, nullptr, 0);
        op.AddSource(a.string());
        EXPECT_TRUE(op.Go());
        EXPECT_FALSE(fs::exists(a));
    }
    // A pattern with files only leaves folders that match alone.
    File("p/x.tmp", "x"), File("p/keep.tmp/inner", "i");
    CShellFileOp op;
    op.SetOperation(FO_DELETE, nullptr, FOF_NOCONFIRMATION | FOF_FILESONLY);
    op.AddSource((m_dir / "p/*.tmp").string());
    EXPECT_TRUE(op.Go());
    EXPECT_FALSE(fs::exists(m_dir / "p/x.tmp"));
    EXPECT_TRUE(fs::exists(m_dir / "p/keep.tmp/inner"));
}

TEST_F(ShellFileOpTest, DeleteTempFileRemovesTheFileQuietlyAndClearsThePath)
{
    MessageBoxRecorder recorder(BoxResult::No);
    std::string path = File("temp/Holiday.gif", "GIF89a").string();
    DeleteTempFile(path);
    EXPECT_TRUE(path.empty());
    EXPECT_FALSE(fs::exists(m_dir / "temp/Holiday.gif"));

    path = (m_dir / "temp/gone.gif").string();
    DeleteTempFile(path); // missing: no box
    EXPECT_TRUE(path.empty());

    path = (m_dir / "temp").string();
    File("temp/other.gif", "x");
    DeleteTempFile(path); // a folder is never removed
    EXPECT_TRUE(path.empty());
    EXPECT_TRUE(fs::exists(m_dir / "temp/other.gif"));

    path.clear();
    DeleteTempFile(path);
    EXPECT_TRUE(recorder.Boxes().empty());
}

TEST_F(ShellFileOpTest, NamesWithPatternCharactersAreTakenLiterally)
{
    // On this system '*', '?' and '[' are legal in a file name: the temporary
    // animation of a source called "*.gif" must not take every GIF with it.
    for (const std::string name : {"*.gif", "?.gif", "[ab].gif"}) {
        SCOPED_TRACE(name);
        File("t/a.gif", "a"), File("t/b.gif", "b");
        std::string path = File("t/" + name, "literal").string();
        DeleteTempFile(path);
        EXPECT_FALSE(fs::exists(m_dir / "t" / name));
        EXPECT_TRUE(fs::exists(m_dir / "t/a.gif") && fs::exists(m_dir / "t/b.gif"));

        path = (m_dir / "t" / name).string(); // gone: nothing else goes either
        DeleteTempFile(path);
        EXPECT_TRUE(fs::exists(m_dir / "t/a.gif") && fs::exists(m_dir / "t/b.gif"));
    }
    // A copy with literal names copies that one file, under its own name.
    File("c/*.gif", "star"), File("c/x.gif", "x");
    CShellFileOp op;
    op.SetOperation(FO_COPY, nullptr, FOF_NOCONFIRMATION | FOF_LITERALNAMES);
    op.AddSource((m_dir / "c/*.gif").string());
    op.AddDestination((m_dir / "saved.gif").string());
    EXPECT_TRUE(op.Go());
    EXPECT_EQ(ReadFile(m_dir / "saved.gif"), "star");
}

TEST_F(ShellFileOpTest, CopyOntoAFullDiskLeavesTheOldDestinationWhole)
{
    fs::path small = m_dir / "small";
    fs::create_directory(small);
    if (::mount("tmpfs", small.c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a small file system here";
    m_mount = small.string();
    const std::string old(20000, 'o');
    WriteFile(small / "anim.gif", old);
    fs::path big = File("big.gif", std::string(100000, 'n'));

    MessageBoxRecorder recorder;
    CShellFileOp op;
    op.SetOperation(FO_COPY, nullptr, FOF_NOCONFIRMATION);
    op.AddSource(big.string());
    op.AddDestination((small / "anim.gif").string());
    Outcome o = Run(op);
    EXPECT_FALSE(o.result);
    EXPECT_EQ(o.status, platform::kFileOpDiskFull);
    EXPECT_EQ(ReadFile(small / "anim.gif"), old);
    EXPECT_EQ(Temporaries(), 0);
    EXPECT_EQ(recorder.Boxes().size(), 1u) << "the failure is shown";
}

TEST_F(ShellFileOpTest, AtomicCopyReportsProgressAndStopsWhenAsked)
{
    const std::string content(300000, 'c');
    fs::path source = File("big.gif", content);
    fs::path target = File("out/big.gif", "old");

    std::uint64_t seen = 0;
    int calls = 0;
    EXPECT_EQ(platform::CopyFileAtomically(source.string(), target.string(),
                                           [&](std::uint64_t bytes) {
                                               seen += bytes;
                                               return ++calls < 2;
                                           }),
              platform::kFileOpCancelled);
    EXPECT_EQ(ReadFile(target), "old") << "a stopped copy leaves the destination as it was";
    EXPECT_EQ(Temporaries(), 0);

    seen = 0;
    EXPECT_EQ(platform::CopyFileAtomically(source.string(), target.string(),
                                           [&](std::uint64_t bytes) {
                                               seen += bytes;
                                               return true;
                                           }),
              0);
    EXPECT_EQ(seen, content.size());
    EXPECT_EQ(ReadFile(target), content);
}

TEST_F(ShellFileOpTest, LongCopyShowsProgressThatCanCancelIt)
{
    int argc = 1;
    char name[] = "shell_file_op_test";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);

    fs::path source = File("long.gif", std::string(platform::kProgressThreshold + 1, 'L'));
    fs::path target = m_dir / "copied.gif";
    struct Case {
        unsigned flags;
        bool progressShown;
    };
    for (const Case& c : {Case{FOF_NOCONFIRMATION, true}, Case{FOF_NOCONFIRMATION | FOF_SILENT, false}}) {
        bool sawDialog = false;
        // Runs at the first event processing inside the copy: presses Cancel.
        QTimer::singleShot(0, [&] {
            for (QWidget* w : QApplication::allWidgets()) {
                if (auto* dialog = qobject_cast<QProgressDialog*>(w)) {
                    sawDialog = true;
                    dialog->cancel();
                }
            }
        });
        MessageBoxRecorder recorder;
        CShellFileOp op;
        op.SetOperation(FO_COPY, nullptr, c.flags);
        op.AddSource(source.string());
        op.AddDestination(target.string());
        Outcome o = Run(op);
        QCoreApplication::processEvents();
        EXPECT_EQ(sawDialog, c.progressShown);
        EXPECT_EQ(o.result, !c.progressShown);
        EXPECT_EQ(o.aborted, c.progressShown);
        EXPECT_EQ(fs::exists(target), !c.progressShown) << "a cancelled copy leaves no destination";
        EXPECT_TRUE(recorder.Boxes().empty()) << "cancelling is no error";
        EXPECT_EQ(Temporaries(), 0);
    }
}
