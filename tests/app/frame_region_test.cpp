// The frame's shape: the region data blocks and the region built from them.
#include "frame_region.h"
#include "wizard_test_support.h"

#include <QFile>
#include <array>
#include <QtEndian>
#include <gtest/gtest.h>

namespace {

QByteArray Block(uint32_t headerSize, uint32_t type, uint32_t count, const std::vector<std::array<int32_t, 4>>& rects)
{
    QByteArray data(32, '\0');
    qToLittleEndian<uint32_t>(headerSize, data.data());
    qToLittleEndian<uint32_t>(type, data.data() + 4);
    qToLittleEndian<uint32_t>(count, data.data() + 8);
    qToLittleEndian<uint32_t>(static_cast<uint32_t>(rects.size() * 16), data.data() + 12);
    for (const auto& r : rects) {
        char bytes[16];
        for (int i = 0; i < 4; ++i)
            qToLittleEndian<int32_t>(r[static_cast<std::size_t>(i)], bytes + 4 * i);
        data.append(bytes, 16);
    }
    return data;
}

TEST(RegionData, ReadsRectanglesAndRefusesDamagedBlocks)
{
    QRegion region;
    ASSERT_TRUE(ParseRegionData(Block(32, 1, 2, {{1, 0, 33, 11}, {2, 11, 33, 15}}), &region));
    EXPECT_EQ(region.boundingRect(), QRect(1, 0, 32, 15));
    EXPECT_TRUE(region.contains(QPoint(1, 10)));
    EXPECT_FALSE(region.contains(QPoint(1, 11)));

    const QRegion untouched(5, 5, 5, 5);
    struct Case {
        const char* what;
        QByteArray data;
    } bad[] = {
        {"short header", QByteArray(31, '\0')},
        {"header size", Block(40, 1, 1, {{0, 0, 1, 1}})},
        {"type", Block(32, 2, 1, {{0, 0, 1, 1}})},
        {"count beyond the data", Block(32, 1, 3, {{0, 0, 1, 1}, {0, 1, 1, 2}})},
        {"count that wraps", Block(32, 1, 0x10000001u, {{0, 0, 1, 1}})},
    };
    for (const Case& c : bad) {
        QRegion result = untouched;
        EXPECT_FALSE(ParseRegionData(c.data, &result)) << c.what;
        EXPECT_EQ(result, untouched) << c.what;
    }
}

TEST(RegionData, ResourceBlocksHoldTheBandsOfBothSides)
{
    wizard_test::EnsureApp();
    struct Case {
        const char* path;
        uint32_t count;
        QRect bounds;
    } cases[] = {
        {":/tessary/frame_region_136.bin", 28, QRect(QPoint(1, 0), QPoint(32, 179))},
        {":/tessary/frame_region_137.bin", 29, QRect(QPoint(0, 0), QPoint(32, 180))},
    };
    for (const Case& c : cases) {
        QFile file(QString::fromLatin1(c.path));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << c.path;
        const QByteArray data = file.readAll();
        EXPECT_EQ(qFromLittleEndian<uint32_t>(data.constData() + 8), c.count) << c.path;
        QRegion region;
        ASSERT_TRUE(ParseRegionData(data, &region)) << c.path;
        EXPECT_EQ(region.boundingRect(), c.bounds) << c.path;
        // The header's own bounding rectangle agrees with the bands.
        EXPECT_EQ(qFromLittleEndian<int32_t>(data.constData() + 16), c.bounds.left()) << c.path;
        EXPECT_EQ(qFromLittleEndian<int32_t>(data.constData() + 28), c.bounds.bottom() + 1) << c.path;
    }
}

TEST(FrameShape, CornersAndCurvedLowerSides)
{
    wizard_test::EnsureApp();
    const QRegion shape = LoadFrameRegion();
    EXPECT_EQ(shape.boundingRect(), QRect(0, 0, 580, 411));
    struct Point {
        int x, y;
        bool inside;
    } points[] = {
        // rounded corners
        {0, 0, false}, {579, 0, false}, {8, 0, true}, {0, 8, true}, {579, 8, true}, {4, 4, true},
        // straight sides above the curves
        {0, 229, true}, {579, 229, true}, {290, 200, true},
        // left curve: starts at x = 1, ends at x = 30 in the last band
        {0, 230, false}, {1, 230, true}, {1, 240, true}, {2, 241, true},
        {29, 409, false}, {30, 409, true}, {32, 410, false},
        // right curve: ends at x = 579 at the top, at x = 547 in the last rows
        {579, 230, false}, {578, 230, true}, {550, 409, false}, {549, 409, true}, {547, 410, false},
        {546, 410, true},
        // the bottom edge between the curves
        {290, 410, true}, {290, 411, false},
    };
    for (const Point& p : points)
        EXPECT_EQ(shape.contains(QPoint(p.x, p.y)), p.inside) << p.x << "," << p.y;
}

} // namespace
