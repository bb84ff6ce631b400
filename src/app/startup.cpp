#include "startup.h"

#include "instance_lock.h"
#include "instance_registry.h"
#include "message_box.h"
#include "messages.h"
#include "movie_text.h"
#include "picture_holder.h"
#include "registry_store.h"
#include "settings.h"
#include "wizard_globals.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <array>
#include <memory>
#include <optional>

// Where the package puts init-settings and the default settings table, seen
// from the program's folder; the build sets them from its install layout.
#ifndef TESSARY_INIT_SETTINGS_FROM_PROGRAM
#define TESSARY_INIT_SETTINGS_FROM_PROGRAM "../libexec/tessary/init-settings"
#endif
#ifndef TESSARY_SETTINGS_TABLE_FROM_PROGRAM
#define TESSARY_SETTINGS_TABLE_FROM_PROGRAM "../share/tessary/default_settings.tsv"
#endif

namespace {

platform::InstanceLock& ProcessLock()
{
    static platform::InstanceLock lock;
    return lock;
}

// The loading rules refuse a picture with a box that belongs to the wizard's
// window; the holder's owner is only a handle of the page that asked, never a
// window to parent a box to.
void ShowPictureBoxOverFrame(void*, const char* text)
{
    platform::ShowMessageBox(g_pFrame, text ? text : "", g_messages.TitleCreateAnimation, platform::BoxIcon::None,
                             platform::BoxButtons::Ok);
}

} // namespace

void InstallWizardBoxHooks()
{
    platform::InstallRasterMessageHandler([]() -> QWidget* { return g_pFrame; });
    SetPictureBoxHook(ShowPictureBoxOverFrame);
}

std::string SiblingMessage(const WizardMessages& texts, const std::string& siblingTitle)
{
    // The title is read into a 32-byte buffer: at most 31 bytes of it are shown.
    return FillMessage(texts.MsgAlreadyRunning, texts.TitleCreateAnimation, CutUtf8(siblingTitle, 31));
}

bool CheckSiblingWizards(const WizardMessages& texts)
{
    const std::array<const std::string*, 4> siblings = {&texts.TitleCustomizeSound, &texts.TitleCustomizeImage,
                                                        &texts.TitleCreateStamp, &texts.TitleRetrievePhotos};
    std::optional<platform::SuiteWindow> reported;
    for (const std::string* title : siblings) {
        if (title->empty())
            continue;
        if (std::optional<platform::SuiteWindow> found = platform::FindSuiteWindow(*title)) {
            platform::ShowSuiteWindow(*found, platform::ShowCommand::Normal);
            reported = found;
        }
    }
    if (!reported)
        return false;
    const std::string message = SiblingMessage(texts, platform::GetSuiteWindowTitle(*reported));
    platform::ShowMessageBox(nullptr, message, texts.TitleCreateAnimation, platform::BoxIcon::Information,
                             platform::BoxButtons::Ok);
    return true;
}

bool WriteFirstStartSettings(const std::string& programFolder, const std::string& script, const std::string& table)
{
    const QString store = QString::fromStdString(platform::RegistryStorePath());
    if (QFileInfo::exists(store))
        return false;
    const QDir folder(QString::fromStdString(programFolder));
    const QString program = QDir::cleanPath(folder.absoluteFilePath(QString::fromStdString(script)));
    const QFileInfo programInfo(program);
    if (!programInfo.isFile() || !programInfo.isExecutable())
        return false;

    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const QString tablePath = QDir::cleanPath(folder.absoluteFilePath(QString::fromStdString(table)));
    if (QFileInfo::exists(tablePath))
        environment.insert(QStringLiteral("TESSARY_DEFAULT_SETTINGS"), tablePath);
    process.setProcessEnvironment(environment);
    // What it writes, or why it could not, goes where the program's own output goes.
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(program, {});
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished(1000);
        return false;
    }
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0 && QFileInfo::exists(store);
}

bool InitInstance(const StartUpOptions& options)
{
    WriteFirstStartSettings(QCoreApplication::applicationDirPath().toStdString(),
                            TESSARY_INIT_SETTINGS_FROM_PROGRAM, TESSARY_SETTINGS_TABLE_FROM_PROGRAM);
    const std::string code = ReadSettingString("Language", nullptr, std::string());
    g_messages = BuildMessages(code);

    if (CheckSiblingWizards(g_messages))
        return false;

    bool existed = false;
    ProcessLock().Create(kSuiteLockName, &existed);
    if (existed) {
        if (std::optional<platform::SuiteWindow> running = platform::FindSuiteWindow(g_messages.TitleCreateAnimation)) {
            platform::ShowSuiteWindow(*running, platform::ShowCommand::Minimise);
            platform::ShowSuiteWindow(*running, platform::ShowCommand::Normal);
            ProcessLock().Close();
            return false;
        }
        // The first instance has no window yet: share the marker and start normally.
    }

    auto frame = std::make_unique<CDlgFrame>(options.pageFactory);
    frame->m_pMessages = &g_messages;
    if (options.prepareFrame)
        options.prepareFrame(*frame);
    if (options.runFrame)
        options.runFrame(*frame);
    else
        frame->DoModal();
    frame.reset();
    return true;
}

void ReleaseInstanceLock()
{
    ProcessLock().Close();
}
