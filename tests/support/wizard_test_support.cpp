#include "wizard_test_support.h"

#include "settings_defaults.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>

namespace wizard_test {

namespace {

QTemporaryDir& TestFolder()
{
    static QTemporaryDir folder;
    return folder;
}

} // namespace

void WriteSettings(const std::string& language)
{
    const QString path = TestFolder().filePath(QStringLiteral("registry.reg"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return;
    const QString installation = TestFolder().path() + QStringLiteral("/install/");
    QDir().mkpath(installation + QStringLiteral("temp"));
    // The installer's defaults, with no phone link so that nothing leaves the machine.
    std::string store =
        DefaultSettingsStoreText(installation.toStdString(), TestFolder().path().toStdString(), language);
    const std::string link = "\"Current Link\"=\"USB\"";
    store.replace(store.find(link), link.size(), "\"Current Link\"=\"None\"");
    file.write(store.data(), static_cast<qint64>(store.size()));
    qputenv("TESSARY_REGISTRY", path.toUtf8());
}

void EnsureApp(const std::string& language)
{
    if (!QApplication::instance()) {
        qputenv("TESSARY_RUNTIME_DIR", TestFolder().filePath(QStringLiteral("runtime")).toUtf8());
        static int argc = 1;
        static char name[] = "wizard-test";
        static char* argv[] = {name, nullptr};
        new QApplication(argc, argv);
    }
    WriteSettings(language);
}

void Pump(int ms)
{
    QElapsedTimer timer;
    timer.start();
    do {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    } while (timer.elapsed() < ms);
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

namespace {
std::map<CMovieCtrl*, RecordingMovie*>& Recorded()
{
    static std::map<CMovieCtrl*, RecordingMovie*> recorded;
    return recorded;
}
} // namespace

RecordingMovies::RecordingMovies(int version)
{
    CMovieCtrl::SetBackendFactory([version](CMovieCtrl* control) {
        auto movie = std::make_unique<RecordingMovie>();
        movie->version = version;
        Recorded()[control] = movie.get();
        QObject::connect(control, &QObject::destroyed, [control] { Recorded().erase(control); });
        return movie;
    });
}

RecordingMovies::~RecordingMovies()
{
    CMovieCtrl::SetBackendFactory({});
}

RecordingMovie* RecordingMovies::Of(CMovieCtrl* control)
{
    auto it = Recorded().find(control);
    return it == Recorded().end() ? nullptr : it->second;
}

} // namespace wizard_test
