// Octree colour quantisation for GIF frames.
//
// Every pixel walks down the tree by one bit of red, green and blue per level,
// most significant bit first. Level 7 nodes are leaves, so colours that agree
// in their top seven bits share a leaf. Whenever the tree holds more than 256
// leaves, the most recently created inner node of the deepest level is folded
// into a leaf that carries its children's counts and sums.
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

    // Palette entries from the leaves, depth first in child order 0 to 7.
    void FillPalette(RGBQUAD* palette) const
    {
        unsigned next = 0;
        FillFrom(m_pRoot, palette, next);
    }

    unsigned LeafCount() const { return m_nLeafCount; }

private:
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
            const long width = long(picture->GetWidth());
            const long height = long(picture->GetHeight());
            const uint8_t* bits = picture->GetBits();
            const size_t rowBytes = picture->GetEffWidth();
            for (long y = 0; y < height; ++y) {
                const uint8_t* row = bits + size_t(y) * rowBytes;
                for (long x = 0; x < width; ++x) {
                    const uint8_t* px = row + 3 * x; // blue, green, red
                    quantizer.AddColor(px[2], px[1], px[0]);
                }
            }
            quantizer.FillPalette(palette.data());
        }
        picture->DecreaseBpp(8, true, palette.data());
    }

    picture->SetNumFrames(1);
    picture->SetType(FormatGif);
    return true;
}
