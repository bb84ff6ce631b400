// Modal message boxes. Every box the program shows goes through ShowMessageBox:
// the Qt implementation opens a QMessageBox; tests install a recorder that
// captures each box and answers it as the test says.
#pragma once

#include <functional>
#include <string>
#include <vector>

class QWidget;

namespace platform {

enum class BoxIcon { None, Error, Warning, Information, Question };
enum class BoxButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class BoxResult { Ok, Cancel, Yes, No };

struct MessageBoxRequest {
    std::string text;    // UTF-8, "\n" splits lines
    std::string caption; // UTF-8
    BoxIcon icon = BoxIcon::None;
    BoxButtons buttons = BoxButtons::Ok;
    QWidget* owner = nullptr; // the window the box belongs to, may be null
};

// Shows a modal box and returns the button pressed.
BoxResult ShowMessageBox(const MessageBoxRequest& request);
BoxResult ShowMessageBox(QWidget* owner, const std::string& text, const std::string& caption,
                         BoxIcon icon = BoxIcon::None, BoxButtons buttons = BoxButtons::Ok);

// Replaces how boxes are shown (null restores the default). Returns the previous one.
using MessageBoxHandler = std::function<BoxResult(const MessageBoxRequest&)>;
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);

// A recorder for tests: captures every box and answers with the queued answers,
// then with `defaultAnswer`. Installs itself on construction, restores on destruction.
class MessageBoxRecorder {
public:
    explicit MessageBoxRecorder(BoxResult defaultAnswer = BoxResult::Ok);
    ~MessageBoxRecorder();
    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

    void QueueAnswer(BoxResult answer);
    const std::vector<MessageBoxRequest>& Boxes() const { return m_boxes; }
    void ClearBoxes() { m_boxes.clear(); }

private:
    std::vector<MessageBoxRequest> m_boxes;
    std::vector<BoxResult> m_answers;
    BoxResult m_default;
    MessageBoxHandler m_previous;
};

// Routes the raster library's boxes ("File open error", "Gif error", ...) through
// ShowMessageBox, owned by the window `owner` gives at the time (none when null).
using RasterBoxOwner = QWidget* (*)();
void InstallRasterMessageHandler(RasterBoxOwner owner = nullptr);

} // namespace platform
