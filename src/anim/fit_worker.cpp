#include "fit_worker.h"

#include "anim_doc.h"

#include <QMetaObject>
#include <memory>
#include <vector>

namespace {

// A document of its own with copies of `doc`'s frames and its delay limits:
// the fitting drops frames and adds their delays within those limits.
std::unique_ptr<CAnimDoc> CopyFrames(const CAnimDoc& doc)
{
    auto copy = std::make_unique<CAnimDoc>();
    copy->SetDelayLimits(doc.GetMinDelay(), doc.GetMaxDelay(), doc.GetDefaultDelay());
    // Frame by frame, not through InsertFrame, which would convert each frame
    // to the first one's palette.
    for (int32_t i = 0; i < doc.GetFrameCount(); ++i)
        copy->m_frames[i] = doc.CopyFrame(i);
    copy->m_nFrames = doc.GetFrameCount();
    return copy;
}

// Puts the frames of `from` in place of those of `to`; `from` is left empty.
void MoveFrames(CAnimDoc& from, CAnimDoc& to)
{
    for (int32_t i = 0; i < CAnimDoc::kMaxFrames; ++i) {
        delete to.m_frames[i];
        to.m_frames[i] = from.m_frames[i];
        from.m_frames[i] = nullptr;
    }
    to.m_nFrames = from.m_nFrames;
    from.m_nFrames = 0;
}

} // namespace

CFitWorker::CFitWorker(QObject* parent) : QObject(parent)
{
    m_pool.setMaxThreadCount(1);
}

CFitWorker::~CFitWorker()
{
    m_pool.waitForDone();
}

bool CFitWorker::Start(CAnimDoc& doc, int64_t limit, const FitOptions& options)
{
    if (m_bRunning || doc.GetFrameCount() < 1)
        return false;
    m_pDoc = &doc;
    m_bRunning = true;
    // Shared, not unique: the tasks that hold it must be copyable.
    std::shared_ptr<CAnimDoc> copy = CopyFrames(doc);
    m_pool.start([this, copy, limit, options] {
        FitResult result = FitAnimationToSize(*copy, limit, options);
        // The page writes the file itself: no need to carry it across.
        result.file = std::vector<uint8_t>();
        QMetaObject::invokeMethod(
            this, [this, copy, result] { Done(*copy, result); }, Qt::QueuedConnection);
    });
    return true;
}

void CFitWorker::Done(CAnimDoc& fitted, const FitResult& result)
{
    m_bRunning = false;
    if (result.outcome == FitResult::Outcome::Fitted)
        MoveFrames(fitted, *m_pDoc);
    emit Finished(result);
}
