// Makes the animation fit the phone's limit away from the UI thread, for the
// editor's "Make it fit". The UI thread copies the document's frames; a worker
// runs FitAnimationToSize on the copy (up to a second or so for 256 frames)
// while the page goes on drawing and playing; back on the UI thread, the
// fitted frames take the place of the document's. The document must not
// change between Start and Finished: the page refuses its own changes
// meanwhile.
#pragma once

#include <QObject>
#include <QThreadPool>
#include <cstdint>

#include "fit_animation.h"

class CAnimDoc;

class CFitWorker : public QObject {
    Q_OBJECT
public:
    explicit CFitWorker(QObject* parent = nullptr);
    ~CFitWorker() override;

    // Starts fitting `doc` strictly under `limit` bytes; `doc` must outlive the
    // worker. False, with nothing started, while a fitting runs or when the
    // document has no frames. Call on the UI thread.
    bool Start(CAnimDoc& doc, int64_t limit, const FitOptions& options);
    bool Busy() const { return m_bRunning; }

signals:
    // The fitting has ended. With the outcome Fitted the
    // document now holds the fitted frames; otherwise it is unchanged. The
    // result's file is not kept.
    void Finished(const FitResult& result);

private:
    void Done(CAnimDoc& fitted, const FitResult& result);

    CAnimDoc* m_pDoc = nullptr;
    bool m_bRunning = false;
    // Last, so that it is destroyed first: its destructor waits for a running
    // fitting, which may still post its result to this object.
    QThreadPool m_pool;
};
