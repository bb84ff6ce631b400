// The frame window's shape: a 580 x 411 rectangle with rounded corners whose two
// lower sides curve inwards. The curves come from two region data blocks kept as
// program resources.
#pragma once

#include <QByteArray>
#include <QRegion>

inline constexpr int kFrameWidth = 580;
inline constexpr int kFrameHeight = 411;

// Reads a region data block (32-byte header of type 1, then rectangles as left,
// top, right, bottom). Returns false for a block that is short, of another type,
// or whose counts do not fit its size.
bool ParseRegionData(const QByteArray& data, QRegion* region);

// The rectangle (0, 0)-(width, height) with each corner cut by a 16 x 16 ellipse.
QRegion RoundedFrameRect(int width, int height);

// The frame's shape from the two side regions (left side 136, right side 137).
QRegion BuildFrameRegion(const QRegion& leftSide136, const QRegion& rightSide137);

// The frame's shape from the program's resources (the plain rounded rectangle
// when a resource is missing or damaged).
QRegion LoadFrameRegion();
