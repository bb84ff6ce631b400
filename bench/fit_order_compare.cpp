// Which loses less when an animation must shrink: fewer colours or fewer
// frames? Builds a photo-like animation (a slow pan over a noisy gradient with
// a moving object) and a flat cartoon (flat shapes moving over a flat
// background), fits each under a series of limits with each order, and prints
// the PSNR of every shown moment (each hundredth of a second of the playing
// time) against the unreduced animation, with the colours and frames kept.
//
// Usage: fit_order_compare
#include "anim_doc.h"
#include "fit_animation.h"
#include "picture_holder.h"

#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr int kFrames = 60;
constexpr uint32_t kSide = 128;

enum class Kind { Photo, Cartoon };

void Pixel(CRaster& img, long x, long y, int r, int g, int b)
{
    auto clamp = [](int v) { return uint8_t(v < 0 ? 0 : v > 255 ? 255 : v); };
    img.SetPixelColor(x, y, MakeRgbQuad(clamp(r), clamp(g), clamp(b)));
}

std::unique_ptr<CRaster> MakeFrame(Kind kind, int k)
{
    auto img = std::make_unique<CRaster>(kSide, kSide, 24);
    uint32_t seed = 77;
    for (long y = 0; y < long(kSide); ++y)
        for (long x = 0; x < long(kSide); ++x) {
            const bool bBall = (x - 20 - 1.5 * k) * (x - 20 - 1.5 * k) + (y - 64) * (y - 64) < 15 * 15;
            if (kind == Kind::Photo) {
                seed = seed * 1664525u + 1013904223u; // the same grain on every frame
                const int noise = int(seed >> 28) - 8;
                const double fx = (x + k) / 200.0; // a slow pan
                const double fy = y / 128.0;
                if (bBall)
                    Pixel(*img, x, y, 200 + noise, 180 - int(60 * fy), 40 + noise);
                else
                    Pixel(*img, x, y, int(90 + 120 * fx * fy) + noise, int(120 + 80 * std::sin(fx * 6 + fy * 3)) + noise,
                          int(200 - 120 * fy) + noise);
            } else {
                const bool bBox = x > 70 - k / 2 && x < 110 - k / 2 && y > 10 + k / 3 && y < 40 + k / 3;
                if (bBall)
                    Pixel(*img, x, y, 230, 60, 50);
                else if (bBox)
                    Pixel(*img, x, y, 40, 90, 220);
                else if (y > 100)
                    Pixel(*img, x, y, 60, 170, 70);
                else
                    Pixel(*img, x, y, 150, 200, 250);
            }
        }
    img->SetFrameDelay(10);
    return img;
}

// The animation as the document holds one built from a GIF: frame 0's
// optimised palette shared by every frame.
void Build(Kind kind, CAnimDoc& doc)
{
    doc.SetDelayLimits(10, 500, 50);
    std::vector<RGBQUAD> palette;
    for (int k = 0; k < kFrames; ++k) {
        std::unique_ptr<CRaster> frame = MakeFrame(kind, k);
        if (k == 0) {
            ConvertToGifPalette(frame.get());
            palette.assign(frame->GetPalette(), frame->GetPalette() + 256);
        } else {
            frame->DecreaseBpp(8, true, palette.data());
        }
        frame->SetFrameDelay(10);
        frame->SetTransIndex(-1);
        doc.m_frames[k] = frame.release();
        doc.m_nFrames = k + 1;
    }
}

// The frame index shown at each hundredth of a second.
std::vector<int> Timeline(const CAnimDoc& doc)
{
    std::vector<int> shown;
    for (int i = 0; i < doc.GetFrameCount(); ++i)
        shown.insert(shown.end(), doc.GetDelay(i), i);
    return shown;
}

double Psnr(const CAnimDoc& original, const CAnimDoc& fitted)
{
    const std::vector<int> a = Timeline(original);
    const std::vector<int> b = Timeline(fitted);
    double sum = 0;
    size_t n = 0;
    for (size_t t = 0; t < a.size() && t < b.size(); ++t) {
        const CRaster* fa = original.GetFrame(a[t]);
        const CRaster* fb = fitted.GetFrame(b[t]);
        for (long y = 0; y < long(kSide); ++y)
            for (long x = 0; x < long(kSide); ++x) {
                const RGBQUAD p = fa->GetPixelColor(x, y);
                const RGBQUAD q = fb->GetPixelColor(x, y);
                const double dr = p.rgbRed - q.rgbRed, dg = p.rgbGreen - q.rgbGreen, db = p.rgbBlue - q.rgbBlue;
                sum += dr * dr + dg * dg + db * db;
                n += 3;
            }
    }
    const double mse = sum / double(n);
    return mse == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse);
}

} // namespace

int main()
{
    for (Kind kind : {Kind::Photo, Kind::Cartoon}) {
        CAnimDoc original;
        Build(kind, original);
        const GifWriteOptions smallest = GifWriteOptionsForCompression(2);
        CAnimDoc sized;
        Build(kind, sized);
        FitOptions lossless;
        lossless.start = smallest;
        const int64_t full = FitAnimationToSize(sized, INT64_MAX, lossless).bytes;
        std::printf("%s: %d frames, %lld bytes with LZW and frame differencing\n",
                    kind == Kind::Photo ? "photo" : "cartoon", kFrames, static_cast<long long>(full));
        std::printf("  %-8s %-28s %-28s\n", "limit", "colours first", "frames first");
        for (double share : {0.9, 0.7, 0.5, 0.35, 0.2}) {
            const int64_t limit = int64_t(double(full) * share);
            std::printf("  %-8lld", static_cast<long long>(limit));
            for (FitOrder order : {FitOrder::ColoursFirst, FitOrder::FramesFirst}) {
                CAnimDoc doc;
                Build(kind, doc);
                FitOptions options;
                options.order = order;
                const FitResult r = FitAnimationToSize(doc, limit, options);
                char text[64];
                if (r.outcome == FitResult::Outcome::Fitted)
                    std::snprintf(text, sizeof text, "%5.1f dB (%3u col, %2d fr)", Psnr(original, doc),
                                  r.colours ? r.colours : 256u, r.framesAfter);
                else
                    std::snprintf(text, sizeof text, "does not fit");
                std::printf(" %-28s", text);
            }
            std::printf("\n");
        }
    }
    return 0;
}
