#include "size_meter_worker.h"

#include "anim_size.h"

#include <QMetaObject>
#include <memory>

CSizeMeterWorker::CSizeMeterWorker(QObject* parent) : QObject(parent)
{
    m_pool.setMaxThreadCount(1);
}

CSizeMeterWorker::~CSizeMeterWorker()
{
    m_pool.waitForDone();
}

void CSizeMeterWorker::Measure(const CAnimDoc& doc, const GifWriteOptions& options)
{
    m_pDoc = &doc;
    m_options = options;
    if (m_bRunning) {
        m_bPending = true;
        return;
    }
    Start();
}

void CSizeMeterWorker::Cancel()
{
    m_bPending = false;
    // A result still on its way belongs to an older generation and is dropped.
    ++m_generation;
}

void CSizeMeterWorker::Start()
{
    m_bPending = false;
    const quint64 generation = ++m_generation;
    std::shared_ptr<CAnimSnapshot> snapshot = CAnimSnapshot::Take(*m_pDoc, kMaxSnapshotBytes);
    if (!snapshot) {
        // Nothing to encode; answer in the same order a worker would.
        QMetaObject::invokeMethod(
            this, [this, generation] { Finished(generation, -1); }, Qt::QueuedConnection);
        m_bRunning = true;
        return;
    }
    m_bRunning = true;
    m_pool.start([this, generation, snapshot, options = m_options] {
        const qint64 bytes = snapshot->FileBytes(options);
        QMetaObject::invokeMethod(
            this, [this, generation, bytes] { Finished(generation, bytes); }, Qt::QueuedConnection);
    });
}

void CSizeMeterWorker::Finished(quint64 generation, qint64 bytes)
{
    m_bRunning = false;
    if (m_bPending) {
        // The document changed while this copy was measured: measure it again
        // rather than show a size it no longer has.
        Start();
        return;
    }
    if (generation == m_generation)
        emit Measured(bytes);
}
