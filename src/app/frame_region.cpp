#include "frame_region.h"

#include <QFile>
#include <QRect>
#include <QtEndian>
#include <cmath>

namespace {

int32_t ReadInt32(const QByteArray& data, qsizetype offset)
{
    return qFromLittleEndian<int32_t>(data.constData() + offset);
}

QRegion ResourceRegion(const char* path, bool* ok)
{
    QFile file(QString::fromLatin1(path));
    QRegion region;
    *ok = file.open(QIODevice::ReadOnly) && ParseRegionData(file.readAll(), &region);
    return region;
}

} // namespace

bool ParseRegionData(const QByteArray& data, QRegion* region)
{
    constexpr qsizetype kHeaderSize = 32;
    if (data.size() < kHeaderSize)
        return false;
    const uint32_t headerSize = static_cast<uint32_t>(ReadInt32(data, 0));
    const uint32_t type = static_cast<uint32_t>(ReadInt32(data, 4));
    const uint32_t count = static_cast<uint32_t>(ReadInt32(data, 8));
    if (headerSize != kHeaderSize || type != 1)
        return false;
    // Counted in 64 bits: a huge count must not wrap around.
    const uint64_t needed = static_cast<uint64_t>(kHeaderSize) + static_cast<uint64_t>(count) * 16u;
    if (needed > static_cast<uint64_t>(data.size()))
        return false;
    QRegion result;
    for (uint32_t i = 0; i < count; ++i) {
        const qsizetype at = kHeaderSize + static_cast<qsizetype>(i) * 16;
        const int32_t left = ReadInt32(data, at);
        const int32_t top = ReadInt32(data, at + 4);
        const int32_t right = ReadInt32(data, at + 8);
        const int32_t bottom = ReadInt32(data, at + 12);
        if (right > left && bottom > top)
            result += QRect(left, top, right - left, bottom - top);
    }
    *region = result;
    return true;
}

QRegion RoundedFrameRect(int width, int height)
{
    constexpr int kRadius = 8; // half of the 16 x 16 corner ellipse
    QRegion region(0, 0, width, height);
    for (int row = 0; row < kRadius; ++row) {
        // How far the ellipse reaches in at this row, measured at the row's centre.
        const double dy = kRadius - (row + 0.5);
        const double dx = std::sqrt(static_cast<double>(kRadius * kRadius) - dy * dy);
        const int cut = static_cast<int>(std::lround(kRadius - dx));
        if (cut <= 0)
            continue;
        region -= QRect(0, row, cut, 1);
        region -= QRect(width - cut, row, cut, 1);
        region -= QRect(0, height - 1 - row, cut, 1);
        region -= QRect(width - cut, height - 1 - row, cut, 1);
    }
    return region;
}

QRegion BuildFrameRegion(const QRegion& leftSide136, const QRegion& rightSide137)
{
    QRegion region = RoundedFrameRect(kFrameWidth, kFrameHeight);
    region -= QRect(0, 230, 33, kFrameHeight - 230);
    region -= rightSide137.translated(547, 230);
    region += leftSide136.translated(0, 230);
    return region;
}

QRegion LoadFrameRegion()
{
    bool ok136 = false;
    bool ok137 = false;
    const QRegion left = ResourceRegion(":/tessary/frame_region_136.bin", &ok136);
    const QRegion right = ResourceRegion(":/tessary/frame_region_137.bin", &ok137);
    if (!ok136 || !ok137)
        return RoundedFrameRect(kFrameWidth, kFrameHeight);
    return BuildFrameRegion(left, right);
}
