#include "save_file_dialog.h"

#include <QDir>
#include <QFileDialog>
#include <QStringList>

namespace platform {

namespace {

SaveFileHandler& Handler()
{
    static SaveFileHandler handler;
    return handler;
}

SaveFileAnswer ShowQtDialog(const SaveFileRequest& request)
{
    QStringList filters;
    for (const auto& [description, pattern] : ParseFileFilter(request.filter))
        filters << QString::fromStdString(description + " (" + pattern + ")");
    QString start = QString::fromStdString(request.initialFolder);
    if (!start.isEmpty() && !start.endsWith(QLatin1Char('/')))
        start += QLatin1Char('/');
    start += QString::fromStdString(request.initialName);

    QFileDialog dialog(request.owner, QString(), start, filters.join(QStringLiteral(";;")));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QString::fromStdString(request.defaultSuffix));
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    SaveFileAnswer answer;
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
        answer.accepted = true;
        answer.path = dialog.selectedFiles().front().toStdString();
    }
    return answer;
}

} // namespace

std::vector<std::pair<std::string, std::string>> ParseFileFilter(const std::string& filter)
{
    std::vector<std::string> fields;
    std::string field;
    for (const char c : filter) {
        if (c == '|') {
            fields.push_back(field);
            field.clear();
        } else {
            field += c;
        }
    }
    fields.push_back(field);
    std::vector<std::pair<std::string, std::string>> pairs;
    for (std::size_t i = 0; i + 1 < fields.size(); i += 2) {
        if (fields[i].empty() && fields[i + 1].empty())
            break; // "||" ends the list
        pairs.emplace_back(fields[i], fields[i + 1]);
    }
    return pairs;
}

std::string WithDefaultSuffix(const std::string& path, const std::string& suffix)
{
    if (path.empty() || suffix.empty())
        return path;
    const std::size_t slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.empty())
        return path;
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0 && dot + 1 < name.size())
        return path;
    return path + (name.back() == '.' ? "" : ".") + suffix;
}

SaveFileAnswer ShowSaveFileDialog(const SaveFileRequest& request)
{
    SaveFileAnswer answer = Handler() ? Handler()(request) : ShowQtDialog(request);
    if (answer.accepted)
        answer.path = WithDefaultSuffix(answer.path, request.defaultSuffix);
    return answer;
}

SaveFileHandler SetSaveFileHandler(SaveFileHandler handler)
{
    SaveFileHandler previous = std::move(Handler());
    Handler() = std::move(handler);
    return previous;
}

SaveFileDialogRecorder::SaveFileDialogRecorder()
{
    m_previous = SetSaveFileHandler([this](const SaveFileRequest& request) {
        m_requests.push_back(request);
        if (m_answers.empty())
            return SaveFileAnswer{};
        SaveFileAnswer answer = m_answers.front();
        m_answers.erase(m_answers.begin());
        return answer;
    });
}

SaveFileDialogRecorder::~SaveFileDialogRecorder()
{
    SetSaveFileHandler(std::move(m_previous));
}

void SaveFileDialogRecorder::QueueSave(const std::string& path)
{
    m_answers.push_back(SaveFileAnswer{true, path, 0});
}

void SaveFileDialogRecorder::QueueCancel(int errorCode)
{
    m_answers.push_back(SaveFileAnswer{false, {}, errorCode});
}

} // namespace platform
