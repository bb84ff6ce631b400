// The suite's instance registry. Every running wizard of the phone suite listens
// on a local socket named after its window title, in a folder of the user's
// runtime directory. Finding a window by its title is connecting to that socket;
// showing, minimising and reading the title are one-line requests over it.
#pragma once

#include <QObject>
#include <functional>
#include <optional>
#include <string>

class QLocalServer;
class QWidget;

namespace platform {

// The registry folder: $TESSARY_RUNTIME_DIR when set, otherwise "tessary-suite"
// in the user's runtime folder (or in the temporary folder when there is none).
// Created on demand, readable only by the user.
std::string SuiteRuntimeDir();

// The socket path under which a window of this exact title is registered.
std::string SuiteSocketPath(const std::string& title);

enum class ShowCommand { Normal, Minimise };

// A window of another (or this) process, found by its title.
struct SuiteWindow {
    std::string socketPath;
};

// Looks for a running window whose title is exactly `title`.
std::optional<SuiteWindow> FindSuiteWindow(const std::string& title);
// Asks the window to show itself in the given state. Returns true when it answered.
bool ShowSuiteWindow(const SuiteWindow& window, ShowCommand command);
// Reads the window's title; empty when the window did not answer.
std::string GetSuiteWindowTitle(const SuiteWindow& window);

// The listening side: registers one window under its title and carries out the
// requests on the UI thread.
class SuiteWindowEndpoint : public QObject {
    Q_OBJECT
public:
    struct Handlers {
        std::function<void(ShowCommand)> show;
        std::function<std::string()> title;
    };

    explicit SuiteWindowEndpoint(QObject* parent = nullptr);
    ~SuiteWindowEndpoint() override;

    // Handlers that act on a widget: show-normal restores and raises it, minimise minimises it.
    static Handlers ForWidget(QWidget* window);

    // Starts listening under `title`. Fails when a live window already holds that title.
    bool Register(const std::string& title, Handlers handlers);
    void Unregister();
    bool IsRegistered() const;

private:
    void OnNewConnection();

    QLocalServer* m_server = nullptr;
    Handlers m_handlers;
};

} // namespace platform
