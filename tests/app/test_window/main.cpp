// A stand-in window of the suite for tests.
//   tessary-test-window --log FILE [--lock NAME] TITLE...
// Registers every TITLE in the suite's instance registry, optionally holds the
// named instance marker, writes "ready" to FILE once listening and one line per
// request it carries out ("SHOWNORMAL <title>", "MINIMIZE <title>"). Ends when
// stdin closes or after 60 seconds.
#include "instance_lock.h"
#include "instance_registry.h"

#include <QCoreApplication>
#include <QFile>
#include <QSocketNotifier>
#include <QTimer>
#include <memory>
#include <unistd.h>
#include <vector>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    QString logPath;
    QString lockName;
    QStringList titles;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--log") && i + 1 < args.size())
            logPath = args[++i];
        else if (args[i] == QLatin1String("--lock") && i + 1 < args.size())
            lockName = args[++i];
        else
            titles << args[i];
    }
    QFile log(logPath);
    if (!log.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return 2;
    auto write = [&log](const QString& line) { log.write((line + QLatin1Char('\n')).toUtf8()); };

    platform::InstanceLock lock;
    if (!lockName.isEmpty()) {
        bool existed = false;
        if (!lock.Create(lockName.toStdString(), &existed))
            return 3;
    }

    std::vector<std::unique_ptr<platform::SuiteWindowEndpoint>> endpoints;
    for (const QString& title : titles) {
        auto endpoint = std::make_unique<platform::SuiteWindowEndpoint>();
        const std::string name = title.toStdString();
        platform::SuiteWindowEndpoint::Handlers handlers;
        handlers.title = [name] { return name; };
        handlers.show = [write, title](platform::ShowCommand command) {
            write(QString::fromLatin1(command == platform::ShowCommand::Normal ? "SHOWNORMAL " : "MINIMIZE ") + title);
        };
        if (!endpoint->Register(name, handlers))
            return 4;
        endpoints.push_back(std::move(endpoint));
    }
    write(QStringLiteral("ready"));

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&app] {
        char buffer[64];
        if (::read(STDIN_FILENO, buffer, sizeof buffer) <= 0)
            app.quit();
    });
    QTimer::singleShot(60000, &app, &QCoreApplication::quit);
    return app.exec();
}
