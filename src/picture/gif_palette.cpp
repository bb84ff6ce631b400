// Octree colour quantisation for GIF frames.
//
// Every pixel walks down the tree by one bit of red, green and blue per level,
// most significant bit first. Level 7 nodes are leaves, so colours that agree
// in their top seven bits share a leaf. Whenever the tree holds more than 256
// leaves, the most recently created inner node of the deepest level is folded
// into a leaf that carries its children's counts and sums.
//
// A picture's pixels are added through a table of pending sums (AddRow). The
// tree changes shape only when a pixel's path lacks a node, and that happens
// only for the first pixel whose top seven bits of every channel (its key)
// have not come before: folding turns nodes into leaves and never removes a
// leaf's ancestor, so a key that came before still finds its path, down to
// the leaf that now holds it. A pixel whose key is in the table therefore
// only adds to the key's pending sums; any other pixel walks the tree as
// AddColor does, in picture order, and takes the key's place in the table.
// Pending sums are handed to the key's leaf when the key leaves the table and
// at the end. The leaves get the same pixels as with AddColor for every
// pixel, so the palette is the same.
#include "picture_holder.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

namespace {

constexpr int kLeafDepth = 7;
constexpr unsigned kMaxColors = 256;

struct OctreeNode {
    bool bLeaf = false;
    uint32_t nPixelCount = 0;
    // Sums are kept wide: 32 bits would overflow on pictures of more than
    // about 16 million pixels and give wrong palette colours.
    uint64_t nRedSum = 0;
    uint64_t nGreenSum = 0;
    uint64_t nBlueSum = 0;
    std::array<OctreeNode*, 8> pChild{};
    OctreeNode* pNext = nullptr; // next node of the same level in the reducible list
};

class COctreeQuantizer {
public:
    explicit COctreeQuantizer(unsigned maxColors = kMaxColors) : m_nMaxColors(maxColors) { m_pRoot = CreateNode(0); }
    ~COctreeQuantizer() { DeleteTree(m_pRoot); }
    COctreeQuantizer(const COctreeQuantizer&) = delete;
    COctreeQuantizer& operator=(const COctreeQuantizer&) = delete;

    // Adds `count` pixels of one colour.
    void AddColor(uint8_t r, uint8_t g, uint8_t b, uint32_t count = 1)
    {
        OctreeNode* node = m_pRoot;
        for (int level = 0; !node->bLeaf; ++level) {
            const int shift = 7 - level;
            const int index = (((r >> shift) & 1) << 2) | (((g >> shift) & 1) << 1) | ((b >> shift) & 1);
            if (!node->pChild[index])
                node->pChild[index] = CreateNode(level + 1);
            node = node->pChild[index];
        }
        node->nPixelCount += count;
        node->nRedSum += uint64_t(r) * count;
        node->nGreenSum += uint64_t(g) * count;
        node->nBlueSum += uint64_t(b) * count;
        while (m_nLeafCount > m_nMaxColors)
            ReduceTree();
    }

    // Adds a row of n pixels, each blue, green, red. Call Flush before
    // FillPalette.
    void AddRow(const uint8_t* bgr, size_t n)
    {
        if (m_pending.empty())
            m_pending.resize(size_t(1) << kPendingBits);
        for (const uint8_t* end = bgr + 3 * n; bgr != end; bgr += 3) {
            const uint32_t b = bgr[0];
            const uint32_t g = bgr[1];
            const uint32_t r = bgr[2];
            const uint32_t key = (r << 16 | g << 8 | b) & kKeyBits;
            Pending& pending = m_pending[(key * 0x9E3779B1u) >> (32 - kPendingBits)];
            if (pending.key == key) {
                pending.red += r;
                pending.green += g;
                pending.blue += b;
                if (++pending.count == kPendingLimit)
                    Hand(pending);
            } else {
                Hand(pending);
                AddColor(uint8_t(r), uint8_t(g), uint8_t(b));
                pending.key = key;
            }
        }
    }

    // Hands every pending sum to its leaf.
    void Flush()
    {
        for (Pending& pending : m_pending)
            Hand(pending);
    }

    // Palette entries from the leaves, depth first in child order 0 to 7.
    void FillPalette(RGBQUAD* palette) const
    {
        unsigned next = 0;
        FillFrom(m_pRoot, palette, next);
    }

    unsigned LeafCount() const { return m_nLeafCount; }

private:
    // Sums of pixels of one key not yet in the tree. Sums of 2^24 pixels fit
    // in 32 bits; the count never grows past that.
    struct Pending {
        uint32_t key = UINT32_MAX; // no key: UINT32_MAX has bits outside kKeyBits
        uint32_t count = 0;
        uint32_t red = 0;
        uint32_t green = 0;
        uint32_t blue = 0;
    };
    static constexpr uint32_t kKeyBits = 0xFEFEFE;
    static constexpr int kPendingBits = 13;
    static constexpr uint32_t kPendingLimit = 1u << 24;

    // Adds the pending sums to the leaf their key's path ends at. The key came
    // before, so the path is there: the walk creates nothing.
    void Hand(Pending& pending)
    {
        if (pending.count == 0)
            return;
        const uint32_t r = pending.key >> 16;
        const uint32_t g = pending.key >> 8 & 0xFF;
        const uint32_t b = pending.key & 0xFF;
        OctreeNode* node = m_pRoot;
        for (int level = 0; !node->bLeaf; ++level) {
            const int shift = 7 - level;
            node = node->pChild[(((r >> shift) & 1) << 2) | (((g >> shift) & 1) << 1) | ((b >> shift) & 1)];
        }
        node->nPixelCount += pending.count;
        node->nRedSum += pending.red;
        node->nGreenSum += pending.green;
        node->nBlueSum += pending.blue;
        pending.count = pending.red = pending.green = pending.blue = 0;
    }

    OctreeNode* CreateNode(int level)
    {
        auto* node = new OctreeNode;
        if (level == kLeafDepth) {
            node->bLeaf = true;
            m_nLeafCount++;
        } else {
            node->pNext = m_reducible[level];
            m_reducible[level] = node;
        }
        return node;
    }

    void ReduceTree()
    {
        int level = kLeafDepth - 1;
        while (level > 0 && !m_reducible[level])
            --level;
        OctreeNode* node = m_reducible[level];
        if (!node)
            return;
        m_reducible[level] = node->pNext;

        unsigned children = 0;
        for (OctreeNode*& child : node->pChild) {
            if (!child)
                continue;
            node->nPixelCount += child->nPixelCount;
            node->nRedSum += child->nRedSum;
            node->nGreenSum += child->nGreenSum;
            node->nBlueSum += child->nBlueSum;
            DeleteTree(child);
            child = nullptr;
            children++;
        }
        node->bLeaf = true;
        m_nLeafCount -= children - 1;
    }

    void FillFrom(const OctreeNode* node, RGBQUAD* palette, unsigned& next) const
    {
        if (!node)
            return;
        if (node->bLeaf) {
            if (next < kMaxColors && node->nPixelCount > 0) {
                const uint64_t n = node->nPixelCount;
                palette[next] = MakeRgbQuad(uint8_t(node->nRedSum / n), uint8_t(node->nGreenSum / n),
                                            uint8_t(node->nBlueSum / n), 0);
            }
            next++;
            return;
        }
        for (const OctreeNode* child : node->pChild)
            FillFrom(child, palette, next);
    }

    static void DeleteTree(OctreeNode* node)
    {
        if (!node)
            return;
        for (OctreeNode* child : node->pChild)
            DeleteTree(child);
        delete node;
    }

    OctreeNode* m_pRoot = nullptr;
    unsigned m_nLeafCount = 0;
    const unsigned m_nMaxColors;
    std::array<OctreeNode*, kLeafDepth + 1> m_reducible{};
    std::vector<Pending> m_pending; // made by the first AddRow
};

} // namespace

std::vector<RGBQUAD> OctreePalette(const std::vector<ColourCount>& colours, unsigned maxColours)
{
    COctreeQuantizer quantizer(std::clamp(maxColours, 1u, kMaxColors));
    for (const ColourCount& c : colours)
        if (c.count > 0)
            quantizer.AddColor(uint8_t(c.rgb >> 16), uint8_t(c.rgb >> 8), uint8_t(c.rgb), c.count);
    std::vector<RGBQUAD> palette(kMaxColors, RGBQUAD{0, 0, 0, 0});
    quantizer.FillPalette(palette.data());
    palette.resize(std::min(quantizer.LeafCount(), kMaxColors));
    return palette;
}

bool ConvertToGifPalette(CRaster* picture)
{
    if (!picture || !picture->IsValid()) {
        ShowPictureBox(nullptr, "Header File Error");
        return false;
    }

    // A GIF frame has no alpha plane: what it would hide must not show.
    if (!ComposeOverBackground(picture))
        return false;

    // Reducing to 8 bits changes only deeper pictures, so only they need the tree.
    if (picture->GetBpp() > 8) {
        std::vector<RGBQUAD> palette(256, RGBQUAD{0, 0, 0, 0});
        {
            COctreeQuantizer quantizer;
            const uint32_t height = picture->GetHeight();
            for (uint32_t y = 0; y < height; ++y)
                quantizer.AddRow(picture->GetBits(y), picture->GetWidth());
            quantizer.Flush();
            quantizer.FillPalette(palette.data());
        }
        picture->DecreaseBpp(8, true, palette.data());
    }

    picture->SetNumFrames(1);
    picture->SetType(FormatGif);
    return true;
}
