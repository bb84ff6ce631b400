#include "shell_file_op.h"

#include "file_operation.h"

#include <QApplication>
#include <QWidget>

namespace {

// Paths one after the other, each ended by a zero byte, and one more zero byte
// after the last.
std::string DoubleZeroList(const std::vector<std::string>& paths)
{
    std::string list;
    for (const std::string& path : paths) {
        list += path;
        list += '\0';
    }
    list += '\0';
    return list;
}

} // namespace

CShellFileOp::CShellFileOp()
{
    m_sources.reserve(10);
    m_destinations.reserve(10);
    Reset();
}

void CShellFileOp::Reset()
{
    m_sources.clear();
    m_destinations.clear();
    m_pOwner = nullptr;
    m_nOperation = 0;
    m_nFlags = 0;
    m_bOperationSet = false;
    m_bGoCalled = false;
}

void CShellFileOp::SetOperation(unsigned nOperation, QWidget* pOwner, unsigned nFlags)
{
    m_nOperation = nOperation;
    m_pOwner = pOwner;
    m_nFlags = nFlags;
    m_bOperationSet = true;
}

bool CShellFileOp::AddSource(const std::string& path)
{
    if (m_sources.size() == m_sources.capacity())
        m_sources.reserve(m_sources.size() + 10);
    m_sources.push_back(path);
    return true;
}

bool CShellFileOp::AddDestination(const std::string& path)
{
    if (m_destinations.size() == m_destinations.capacity())
        m_destinations.reserve(m_destinations.size() + 10);
    m_destinations.push_back(path);
    return true;
}

bool CShellFileOp::Go(bool* bAPICalled, int* nAPIReturn, bool* bAborted)
{
    m_bGoCalled = false;
    if (bAPICalled)
        *bAPICalled = false;

    if (!m_bOperationSet || m_nOperation < FO_MOVE || m_nOperation > FO_RENAME || m_sources.empty())
        return false;
    if (m_nOperation != FO_DELETE) {
        if (m_destinations.empty())
            return false;
        if (m_destinations.size() != 1 && m_destinations.size() != m_sources.size())
            return false;
    }

    m_lastFrom = DoubleZeroList(m_sources);
    m_lastTo = m_nOperation != FO_DELETE ? DoubleZeroList(m_destinations) : std::string();

    platform::FileOperation operation;
    operation.owner = m_pOwner;
    operation.operation = m_nOperation;
    operation.from = m_lastFrom.c_str();
    operation.to = m_nOperation != FO_DELETE ? m_lastTo.c_str() : nullptr;
    operation.flags = m_nFlags;
    if (m_destinations.size() > 1)
        operation.flags |= FOF_MULTIDESTFILES;
    operation.progressTitle.clear();
    m_nLastFlags = operation.flags;

    m_bGoCalled = true;
    if (bAPICalled)
        *bAPICalled = true;
    int result = platform::RunFileOperation(operation);
    if (nAPIReturn)
        *nAPIReturn = result;
    if (bAborted)
        *bAborted = operation.anyOperationsAborted;
    return result == 0;
}

void DeleteTempFile(std::string& path)
{
    if (path.empty())
        return;
    QWidget* mainWindow = nullptr;
    if (qobject_cast<QApplication*>(QCoreApplication::instance()))
        mainWindow = QApplication::activeWindow();

    CShellFileOp op;
    op.Reset();
    op.SetOperation(FO_DELETE, mainWindow, FOF_NOCONFIRMATION | FOF_FILESONLY | FOF_NOERRORUI | FOF_LITERALNAMES);
    op.AddSource(path);
    op.Go();
    path.clear();
}
