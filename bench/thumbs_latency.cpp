// The thumbnail worker's latencies, against the time of one file's decode:
//   one file        load + square thumbnail of the folder's first photo (median of 5)
//   first           RestartScan to the first thumbnail of a folder not seen before
//   stop            RestartScan at points spread over a file's decode, to the start of
//                   the new scan
//   revisit         a whole folder again, from memory, against its first scan
// Usage: thumbs_latency PHOTO_FOLDER OTHER_FOLDER   (bench/thumbs_compare.py runs it)
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "thumbnail.h"
#include "thumbnail_worker.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

class Timings : public ThumbnailListener {
public:
    void OnScanStarted(uint64_t scan, const std::string&) override
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_started[scan] = Clock::now();
        m_changed.notify_all();
    }
    void OnThumbnail(const ThumbnailItem& item) override
    {
        std::lock_guard<std::mutex> hold(m_lock);
        if (m_first.count(item.scan) == 0)
            m_first[item.scan] = Clock::now();
        ++m_count[item.scan];
        m_changed.notify_all();
    }
    void OnScanEnded(uint64_t scan, bool) override
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_ended[scan] = Clock::now();
        m_changed.notify_all();
    }
    Clock::time_point Started(uint64_t scan) { return Wait(m_started, scan); }
    Clock::time_point First(uint64_t scan) { return Wait(m_first, scan); }
    Clock::time_point Ended(uint64_t scan) { return Wait(m_ended, scan); }
    void WaitForCount(uint64_t scan, int count)
    {
        std::unique_lock<std::mutex> hold(m_lock);
        m_changed.wait(hold, [&] { return m_count[scan] >= count; });
    }

private:
    Clock::time_point Wait(std::map<uint64_t, Clock::time_point>& which, uint64_t scan)
    {
        std::unique_lock<std::mutex> hold(m_lock);
        m_changed.wait(hold, [&] { return which.count(scan) != 0; });
        return which[scan];
    }

    std::mutex m_lock;
    std::condition_variable m_changed;
    std::map<uint64_t, Clock::time_point> m_started, m_first, m_ended;
    std::map<uint64_t, int> m_count;
};

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: thumbs_latency PHOTO_FOLDER OTHER_FOLDER\n");
        return 2;
    }
    const std::string photos = argv[1];
    const std::string other = argv[2];
    std::vector<std::string> names;
    if (!ListPictureFiles(photos, "*.*", names)) {
        std::fprintf(stderr, "no files in %s\n", photos.c_str());
        return 1;
    }

    std::vector<double> decode;
    for (int i = 0; i < 5; ++i) {
        CRaster picture;
        const Clock::time_point start = Clock::now();
        LoadPictureByExtension(FolderWithSlash(photos) + names[0], picture, kThumbnailSide);
        MakeSquareThumbnail(picture, kThumbnailSide);
        decode.push_back(Ms(Clock::now() - start));
    }
    const double oneFile = Median(decode);
    std::printf("worker latencies (%s)\n", photos.c_str());
    std::printf("  one file (decode + thumbnail, median of 5):  %7.2f ms\n", oneFile);

    Timings timings;
    CThumbnailWorker worker(timings);
    std::vector<double> first;
    std::vector<double> listing; // the part of `first` before the first decode starts
    std::vector<double> stop;
    for (int round = 0; round < 5; ++round) {
        // A worker of its own each round, so that nothing is taken from memory.
        Timings fresh;
        CThumbnailWorker cold(fresh);
        const Clock::time_point asked = Clock::now();
        const uint64_t scan = cold.RestartScan(photos);
        first.push_back(Ms(fresh.First(scan) - asked));
        listing.push_back(Ms(fresh.Started(scan) - asked));
        fresh.WaitForCount(scan, 3 + round);
        // The request comes at a different point of the next file's decode each round.
        std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(oneFile * round / 5.0));
        const Clock::time_point stopAsked = Clock::now();
        const uint64_t next = cold.RestartScan(other);
        stop.push_back(Ms(fresh.Started(next) - stopAsked));
        fresh.Ended(next);
    }
    std::printf("  first thumbnail (median of 5):               %7.2f ms  (%.2f x one file; %.2f ms of it to "
                "wake and list the folder)\n",
                Median(first), Median(first) / oneFile, Median(listing));
    std::printf("  stop after a new request (median / worst):   %7.2f / %.2f ms  (%.2f x one file at worst)\n",
                Median(stop), *std::max_element(stop.begin(), stop.end()),
                *std::max_element(stop.begin(), stop.end()) / oneFile);

    const Clock::time_point coldStart = Clock::now();
    uint64_t scan = worker.RestartScan(photos);
    const double coldMs = Ms(timings.Ended(scan) - coldStart);
    const uint64_t decodes = worker.DecodeCount();
    scan = worker.RestartScan(other);
    timings.Ended(scan);
    const uint64_t beforeRevisit = worker.DecodeCount();
    const Clock::time_point warmStart = Clock::now();
    scan = worker.RestartScan(photos);
    const double warmMs = Ms(timings.Ended(scan) - warmStart);
    std::printf("  whole folder, first visit:                   %7.2f ms\n", coldMs);
    std::printf("  whole folder, seen again:                    %7.2f ms  (%llu decodes on the first visit, %llu "
                "again)\n",
                warmMs, static_cast<unsigned long long>(decodes),
                static_cast<unsigned long long>(worker.DecodeCount() - beforeRevisit));
    return 0;
}
