// The save-as file dialog. Every save dialog the program shows goes through
// ShowSaveFileDialog: the Qt implementation runs a QFileDialog in save mode;
// tests install a recorder that captures each request and answers it.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

class QWidget;

namespace platform {

struct SaveFileRequest {
    QWidget* owner = nullptr;
    std::string defaultSuffix; // "gif": added to a typed name without extension
    std::string initialName;   // the proposed file name
    std::string initialFolder; // where the dialog opens; empty: the current folder
    std::string filter;        // "gif|*.gif||": description and pattern pairs
};

struct SaveFileAnswer {
    bool accepted = false;
    std::string path; // the chosen file, with the default suffix when it had no extension
    int errorCode = 0; // not 0 when the dialog itself failed
};

// Runs the dialog modally. An existing file is not asked about here: the copy
// that follows asks before it replaces anything.
SaveFileAnswer ShowSaveFileDialog(const SaveFileRequest& request);

// Replaces how the dialog is shown (null restores the Qt dialog); returns the
// previous handler. The handler gives the path as typed: the default suffix is
// added afterwards.
using SaveFileHandler = std::function<SaveFileAnswer(const SaveFileRequest&)>;
SaveFileHandler SetSaveFileHandler(SaveFileHandler handler);

// The description and pattern pairs of a filter: "gif|*.gif||" gives {"gif", "*.gif"}.
std::vector<std::pair<std::string, std::string>> ParseFileFilter(const std::string& filter);
// `path` with "." + `suffix` added when its file name has no extension.
std::string WithDefaultSuffix(const std::string& path, const std::string& suffix);

// A recorder for tests: captures every request and answers with the queued
// answers, then with Cancel. Installs itself on construction, restores on destruction.
class SaveFileDialogRecorder {
public:
    SaveFileDialogRecorder();
    ~SaveFileDialogRecorder();
    SaveFileDialogRecorder(const SaveFileDialogRecorder&) = delete;
    SaveFileDialogRecorder& operator=(const SaveFileDialogRecorder&) = delete;

    // The user types `path` and confirms.
    void QueueSave(const std::string& path);
    // The user cancels; `errorCode` not 0 stands for a failed dialog.
    void QueueCancel(int errorCode = 0);
    const std::vector<SaveFileRequest>& Requests() const { return m_requests; }

private:
    std::vector<SaveFileRequest> m_requests;
    std::vector<SaveFileAnswer> m_answers;
    SaveFileHandler m_previous;
};

} // namespace platform
