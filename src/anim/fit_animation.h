// Making an animation fit the phone's size limit, and the writer options that
// the "AnimCompression" setting stands for.
//
// FitAnimationToSize changes as little as it can, in this order of
// preference: nothing, when the animation already fits as it is written; the
// LZW coder, then LZW with frame differencing; then fewer colours (one
// palette of 128, 64, 32 or 16 colours shared by every frame, made by the
// program's own octree quantisation and error diffusion) and fewer frames
// (dropped evenly, each dropped frame's delay added to the frame kept before
// it), in the order FitOptions::order gives. Every trial is written to a byte
// counter in memory, and each list of choices is searched by bisection, so a
// fitting costs a handful of trial encodes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "gif_codec.h"

class CAnimDoc;

// What the "AnimCompression" setting asks of the GIF writer: 1 the LZW coder,
// 2 LZW and frame differencing, 0 and any other value the writer's default
// coder.
GifWriteOptions GifWriteOptionsForCompression(uint32_t setting);

// Which of the two changes that lose something comes first.
enum class FitOrder {
    ColoursFirst, // fewer colours with every frame; fewer frames only at 16 colours
    FramesFirst,  // fewer frames in full colour; fewer colours only with one frame left
};

// Colours first. Measured by bench/fit_order_compare.cpp (PSNR of every shown
// moment against the unreduced animation, limits from 90 % to 20 % of the
// LZW and differencing size): on a flat cartoon colours first stays closer by
// 0.7 to 4.7 dB at every limit; on a slowly panning photo the two orders are
// within 2.4 dB of each other, each ahead at some limits.
inline constexpr FitOrder kDefaultFitOrder = FitOrder::ColoursFirst;

// The fewest colours a fitting goes down to.
inline constexpr uint32_t kFitFewestColours = 16;

struct FitOptions {
    GifWriteOptions start; // how the animation is written when nothing changes
    FitOrder order = kDefaultFitOrder;
};

struct FitResult {
    enum class Outcome {
        AlreadyFits, // nothing changed: the animation fits written with `start`
        Fitted,      // the document was changed (or only the coder) so that it fits
        Impossible,  // even one frame in the fewest colours does not fit; nothing changed
        Failed,      // the writer refused the frames; nothing changed
    };
    Outcome outcome = Outcome::Failed;
    GifWriteOptions options;  // write the document with these to get `bytes`
    uint32_t colours = 0;     // colours of the shared palette; 0 when the colours were kept
    int32_t framesBefore = 0;
    int32_t framesAfter = 0;
    int64_t bytes = 0;        // the file's size; for Impossible, the smallest one tried
    int trials = 0;           // trial encodes made
    // The file the writer makes of the document with `options` (AlreadyFits
    // and Fitted), from the last trial: what SaveGif writes.
    std::vector<uint8_t> file;
};

// Makes `doc` fit strictly under `limit` bytes as described above. The
// document is changed only when the outcome is Fitted.
FitResult FitAnimationToSize(CAnimDoc& doc, int64_t limit, const FitOptions& options = FitOptions{});

// What the fitting did, in one line: "fitted under 102400 bytes: LZW, 64
// colours, 40 of 60 frames", "already under 102400 bytes: nothing changed".
std::string DescribeFit(const FitResult& result, int64_t limit);
