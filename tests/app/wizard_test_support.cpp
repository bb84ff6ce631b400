#include "wizard_test_support.h"

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
    QString text = QStringLiteral("Windows Registry Editor Version 5.00\r\n\r\n"
                                  "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quenlor\\Tessary]\r\n"
                                  "\"Language\"=\"%1\"\r\n"
                                  "\"Current Link\"=\"None\"\r\n\r\n"
                                  "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quenlor\\Tessary\\Customization Wizards]\r\n"
                                  "\"Installation Path\"=\"%2\"\r\n"
                                  "\"AnimMaxSize\"=dword:00007530\r\n\r\n"
                                  "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quenlor\\Tessary\\Customization Wizards\\user]\r\n")
                       .arg(QString::fromStdString(language), installation);
    file.write(text.toUtf8());
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
