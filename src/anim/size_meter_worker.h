// Measures the animation file's size away from the UI thread for the editor's
// size meter. The UI thread takes a copy of the frames (CAnimSnapshot) and a
// worker encodes the copy into a byte counter; the result comes back to the UI
// thread as a queued signal. Requests that arrive while an encode runs are
// folded into one more encode of the document as it is when the first ends, so
// a burst of changes costs at most two encodes and never a file.
#pragma once

#include <QObject>
#include <QThreadPool>
#include <cstdint>

#include "gif_codec.h"

class CAnimDoc;

class CSizeMeterWorker : public QObject {
    Q_OBJECT
public:
    // The copy of the frames may hold at most this many pixel bytes (256 frames
    // of 128 x 128 take 4 MiB); a larger document is not measured.
    static constexpr uint64_t kMaxSnapshotBytes = uint64_t(64) << 20;

    explicit CSizeMeterWorker(QObject* parent = nullptr);
    ~CSizeMeterWorker() override;

    // Asks for the size of `doc` written with `options`; `doc` must outlive the
    // worker. Call on the UI thread.
    void Measure(const CAnimDoc& doc, const GifWriteOptions& options);
    // Forgets a pending request and any result still on its way.
    void Cancel();
    bool Busy() const { return m_bRunning; }

signals:
    // The file size of the document as it was at the latest request, in bytes;
    // -1 when it cannot be measured (no frames, too large, refused by the writer).
    void Measured(qint64 bytes);

private:
    void Start();
    void Finished(quint64 generation, qint64 bytes);

    const CAnimDoc* m_pDoc = nullptr;
    GifWriteOptions m_options; // of the latest request
    bool m_bRunning = false;
    bool m_bPending = false;
    quint64 m_generation = 0;
    // Last, so that it is destroyed first: its destructor waits for a running
    // encode, which may still post its result to this object.
    QThreadPool m_pool;
};
