// CThumbnailWorker: the one background thread that makes the thumbnails of
// the content page's list. It sleeps until RestartScan names a folder, then
// lists the folder, loads each picture file and turns it into a square
// thumbnail, one file at a time, and hands each one to its listener, until the
// folder is done or a new RestartScan (or Stop) asks it to stop. A stop is
// seen before each file, so it costs at most the time of one file.
//
// Every scan has a number, returned by RestartScan and carried by everything
// the scan reports, so that the receiver can drop what an older scan still
// delivers after a newer one was asked for: at most one thumbnail, the one
// that was being made at the time.
//
// Thumbnails are kept in memory per folder: a folder seen again is shown from
// memory, and only its new or changed files (by size, modification time and
// file number) are decoded again. The memory is bounded; the folders least
// recently scanned are forgotten first.
//
// No widgets here: the listener is called on the worker's thread and decides
// how the thumbnails reach the screen.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <list>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "raster.h"
#include "thumbnail.h"

// One thumbnail made by a scan.
struct ThumbnailItem {
    uint64_t scan = 0;     // the scan that made it
    int32_t index = 0;     // its place in the list, from 0; only picture files count
    std::string name;      // the file's name, without the folder
    uint32_t format = 0;   // the loader's code: 1 BMP, 2 GIF, 3 JPEG, 4 PNG (also for the stand-in)
    bool fallback = false; // the file could not be read: the thumbnail shows the stand-in picture
    ThumbnailBox box;      // where the picture sits in the square, from the top-left
    std::vector<uint32_t> pixels; // side x side, 0xAARRGGBB, top row first
};

// What a scan reports, always on the worker's thread, in this order: started,
// the thumbnails, ended. A listener must not call Stop or destroy the worker.
class ThumbnailListener {
public:
    virtual ~ThumbnailListener() = default;
    virtual void OnScanStarted(uint64_t scan, const std::string& folder) = 0;
    virtual void OnThumbnail(const ThumbnailItem& item) = 0;
    // `complete`: every file was seen (false when a newer request stopped it).
    virtual void OnScanEnded(uint64_t scan, bool complete) = 0;
};

class CThumbnailWorker {
public:
    struct Options {
        int side = kThumbnailSide;
        // How small a JPEG may be decoded (CRaster::SetDecodeMinSide); 0
        // decodes every picture whole.
        uint32_t decodeMinSide = kThumbnailSide;
        // How many thumbnails are kept in memory over all folders (about
        // 16 KiB each at 64 x 64); 0 keeps none.
        size_t memoryLimit = 2048;
    };

    // Starts the thread, which waits for the first RestartScan. The listener
    // must outlive the worker.
    explicit CThumbnailWorker(ThumbnailListener& listener);
    CThumbnailWorker(ThumbnailListener& listener, const Options& options);
    // Stops the scan after its current file and waits for the thread.
    ~CThumbnailWorker();
    CThumbnailWorker(const CThumbnailWorker&) = delete;
    CThumbnailWorker& operator=(const CThumbnailWorker&) = delete;

    // Asks for a scan of `folder`: the scan running now stops before its next
    // file and the new one starts at once. Returns the new scan's number
    // (1, 2, ...). Any thread but the worker's own.
    uint64_t RestartScan(const std::string& folder);
    // Ends the scan after its current file and the thread; nothing is reported
    // afterwards. Idempotent; any thread but the worker's own.
    void Stop();

    // Written and read only under the lock.
    void SetAbort(bool abort);
    bool IsAborted() const;

    // How many files the worker has decoded so far (thumbnails taken from
    // memory do not count).
    uint64_t DecodeCount() const;

private:
    struct CachedThumbnail {
        int64_t size = 0;
        int64_t modifiedNs = 0;
        uint64_t inode = 0;
        uint32_t format = 0;
        bool fallback = false;
        ThumbnailBox box;
        std::vector<uint32_t> pixels;
    };
    struct FolderThumbnails {
        std::string folder;
        std::map<std::string, CachedThumbnail> byName;
    };

    void Run();
    void Scan(uint64_t scan, const std::string& folder);
    // Decodes one file into `item` (name already set).
    void MakeThumbnail(const std::string& path, ThumbnailItem& item);
    // The folder's thumbnails in memory, made the most recently used; created empty.
    FolderThumbnails& Remember(const std::string& folder);
    void Keep(FolderThumbnails& folder, const FolderEntry& entry, const ThumbnailItem& item);
    // Forgets other folders until `room` more thumbnails fit in the limit.
    void ForgetBeyondLimit(const FolderThumbnails& keep, size_t room);

    ThumbnailListener& m_listener;
    const Options m_options;

    // Shared with the threads that ask for scans; guarded by m_lock.
    mutable std::mutex m_lock;
    std::condition_variable m_wakeEvent;
    bool m_bWake = false;  // a scan was asked for and not yet started
    bool m_bAbort = false; // the scan in progress must stop before its next file
    bool m_bStop = false;  // the thread must end
    std::string m_strFolder; // the folder of the last request
    uint64_t m_nScan = 0;    // the number of the last request
    uint64_t m_nDecodes = 0;

    // The worker thread's own.
    CRaster m_scratch;
    std::list<FolderThumbnails> m_memory; // most recently used first
    size_t m_nRemembered = 0;

    std::thread m_thread; // last: started when everything above exists
};
