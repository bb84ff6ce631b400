#include "thumbnail_worker.h"

#include <algorithm>
#include <set>

#include "picture_holder.h"

CThumbnailWorker::CThumbnailWorker(ThumbnailListener& listener) : CThumbnailWorker(listener, Options()) {}

CThumbnailWorker::CThumbnailWorker(ThumbnailListener& listener, const Options& options)
    : m_listener(listener), m_options(options), m_thread([this] { Run(); })
{
}

CThumbnailWorker::~CThumbnailWorker()
{
    Stop();
}

uint64_t CThumbnailWorker::RestartScan(const std::string& folder)
{
    uint64_t scan = 0;
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_strFolder = folder;
        scan = ++m_nScan;
        m_bAbort = true;
        m_bWake = true;
    }
    m_wakeEvent.notify_one();
    return scan;
}

void CThumbnailWorker::Stop()
{
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_bStop = true;
        m_bAbort = true;
    }
    m_wakeEvent.notify_one();
    if (m_thread.joinable())
        m_thread.join();
}

void CThumbnailWorker::SetAbort(bool abort)
{
    std::lock_guard<std::mutex> hold(m_lock);
    m_bAbort = abort;
}

bool CThumbnailWorker::IsAborted() const
{
    std::lock_guard<std::mutex> hold(m_lock);
    return m_bAbort;
}

uint64_t CThumbnailWorker::DecodeCount() const
{
    std::lock_guard<std::mutex> hold(m_lock);
    return m_nDecodes;
}

void CThumbnailWorker::Run()
{
    for (;;) {
        std::string folder;
        uint64_t scan = 0;
        {
            std::unique_lock<std::mutex> hold(m_lock);
            m_wakeEvent.wait(hold, [this] { return m_bWake || m_bStop; });
            if (m_bStop)
                return;
            // One request starts one scan; requests that came while the last
            // scan ran are one request for the newest folder.
            m_bWake = false;
            m_bAbort = false;
            folder = m_strFolder;
            scan = m_nScan;
        }
        Scan(scan, folder);
    }
}

void CThumbnailWorker::Scan(uint64_t scan, const std::string& requested)
{
    const std::string folder = FolderWithSlash(requested);
    std::vector<FolderEntry> entries;
    ListFolderEntries(folder, "*.*", entries);
    m_listener.OnScanStarted(scan, folder);

    FolderThumbnails& memory = Remember(folder);
    std::set<std::string> seen;
    bool complete = true;
    int32_t index = 0;
    for (const FolderEntry& entry : entries) {
        if (IsAborted()) {
            complete = false;
            break;
        }
        if (PictureFormatFromPath(entry.name) == FormatUnknown)
            continue;
        ThumbnailItem item;
        item.scan = scan;
        item.index = index;
        item.name = entry.name;
        const auto known = memory.byName.find(entry.name);
        if (known != memory.byName.end() && known->second.size == entry.size &&
            known->second.modifiedNs == entry.modifiedNs && known->second.inode == entry.inode) {
            item.format = known->second.format;
            item.fallback = known->second.fallback;
            item.box = known->second.box;
            item.pixels = known->second.pixels;
        } else {
            MakeThumbnail(folder + entry.name, item);
        }
        m_listener.OnThumbnail(item);
        Keep(memory, entry, item);
        seen.insert(entry.name);
        ++index;
    }
    if (complete) {
        // Files that are gone, or are no longer pictures, are forgotten.
        for (auto it = memory.byName.begin(); it != memory.byName.end();) {
            if (seen.count(it->first) == 0) {
                it = memory.byName.erase(it);
                --m_nRemembered;
            } else {
                ++it;
            }
        }
    }
    if (memory.byName.empty())
        m_memory.pop_front(); // Remember put it first
    else
        ForgetBeyondLimit(memory, 0);
    m_listener.OnScanEnded(scan, complete);
}

void CThumbnailWorker::MakeThumbnail(const std::string& path, ThumbnailItem& item)
{
    item.format = LoadPictureByExtension(path, m_scratch, m_options.decodeMinSide, &item.fallback);
    {
        std::lock_guard<std::mutex> hold(m_lock);
        ++m_nDecodes;
    }
    if (MakeSquareThumbnail(m_scratch, m_options.side, &item.box) || m_scratch.IsValid()) {
        item.pixels = ThumbnailPixels(m_scratch);
    }
    if (item.pixels.size() != size_t(m_options.side) * size_t(m_options.side)) {
        // Not even the stand-in could be made: an empty square.
        item.pixels.assign(size_t(m_options.side) * size_t(m_options.side), 0u);
        item.box = ThumbnailBox();
    }
    m_scratch.Clear(0);
}

CThumbnailWorker::FolderThumbnails& CThumbnailWorker::Remember(const std::string& folder)
{
    auto it = std::find_if(m_memory.begin(), m_memory.end(),
                           [&](const FolderThumbnails& f) { return f.folder == folder; });
    if (it == m_memory.end()) {
        m_memory.push_front(FolderThumbnails());
        m_memory.front().folder = folder;
    } else if (it != m_memory.begin()) {
        m_memory.splice(m_memory.begin(), m_memory, it);
    }
    return m_memory.front();
}

void CThumbnailWorker::Keep(FolderThumbnails& folder, const FolderEntry& entry, const ThumbnailItem& item)
{
    auto it = folder.byName.find(entry.name);
    if (it == folder.byName.end()) {
        ForgetBeyondLimit(folder, 1);
        if (m_nRemembered + 1 > m_options.memoryLimit)
            return; // this folder alone fills the memory: the rest is decoded every time
        it = folder.byName.emplace(entry.name, CachedThumbnail()).first;
        ++m_nRemembered;
    }
    CachedThumbnail& kept = it->second;
    kept.size = entry.size;
    kept.modifiedNs = entry.modifiedNs;
    kept.inode = entry.inode;
    kept.format = item.format;
    kept.fallback = item.fallback;
    kept.box = item.box;
    kept.pixels = item.pixels;
}

void CThumbnailWorker::ForgetBeyondLimit(const FolderThumbnails& keep, size_t room)
{
    // The least recently scanned folders go first; the one being scanned stays.
    while (m_nRemembered + room > m_options.memoryLimit && m_memory.size() > 1 && &m_memory.back() != &keep) {
        m_nRemembered -= m_memory.back().byName.size();
        m_memory.pop_back();
    }
}
