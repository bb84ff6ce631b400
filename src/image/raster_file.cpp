// Byte streams over stdio and over a growable memory buffer.
#include "raster_file.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace {
constexpr int64_t kMaxMemFileBytes = std::numeric_limits<int32_t>::max();
constexpr int64_t kGrowStep = 4096;
} // namespace

// --- CRasterIOFile ---

CRasterIOFile::CRasterIOFile(FILE* stream) : m_fp(stream), m_bCloseFile(stream == nullptr) {}

CRasterIOFile::~CRasterIOFile()
{
    Close();
}

bool CRasterIOFile::Open(const char* name, const char* mode)
{
    if (m_fp || !name || !mode)
        return false;
    m_fp = std::fopen(name, mode);
    if (!m_fp)
        return false;
    m_bCloseFile = true;
    return true;
}

bool CRasterIOFile::Close()
{
    if (!m_fp || !m_bCloseFile)
        return true;
    const int rc = std::fclose(m_fp);
    m_fp = nullptr;
    return rc == 0;
}

size_t CRasterIOFile::Read(void* buffer, size_t size, size_t count)
{
    if (!m_fp || !buffer)
        return 0;
    return std::fread(buffer, size, count, m_fp);
}

size_t CRasterIOFile::Write(const void* buffer, size_t size, size_t count)
{
    if (!m_fp || !buffer)
        return 0;
    return std::fwrite(buffer, size, count, m_fp);
}

bool CRasterIOFile::Seek(long offset, int origin)
{
    if (!m_fp)
        return false;
    return std::fseek(m_fp, offset, origin) == 0;
}

long CRasterIOFile::Tell()
{
    if (!m_fp)
        return 0;
    return std::ftell(m_fp);
}

long CRasterIOFile::Size()
{
    if (!m_fp)
        return -1;
    const long pos = std::ftell(m_fp);
    std::fseek(m_fp, 0, SEEK_END);
    const long size = std::ftell(m_fp);
    std::fseek(m_fp, pos, SEEK_SET);
    return size;
}

bool CRasterIOFile::Flush()
{
    if (!m_fp)
        return false;
    return std::fflush(m_fp) == 0;
}

bool CRasterIOFile::Eof()
{
    if (!m_fp)
        return true;
    return std::feof(m_fp) != 0;
}

long CRasterIOFile::Error()
{
    if (!m_fp)
        return -1;
    return std::ferror(m_fp);
}

bool CRasterIOFile::PutC(unsigned char c)
{
    if (!m_fp)
        return false;
    return std::fputc(c, m_fp) == c;
}

long CRasterIOFile::GetC()
{
    if (!m_fp)
        return -1;
    return std::getc(m_fp);
}

// --- CRasterMemFile ---
// The buffer comes from malloc/realloc; whoever owns it releases it with free().

CRasterMemFile::CRasterMemFile(unsigned char* buffer, unsigned size)
    : m_pBuffer(buffer),
      m_Size(int32_t(std::min<int64_t>(size, kMaxMemFileBytes))),
      m_bFreeOnClose(buffer == nullptr),
      m_Position(0),
      m_Edge(m_Size)
{
}

CRasterMemFile::~CRasterMemFile()
{
    if (m_pBuffer && m_bFreeOnClose)
        std::free(m_pBuffer);
}

bool CRasterMemFile::Open()
{
    if (m_pBuffer)
        return false;
    m_Size = 0;
    m_Edge = 0;
    m_Position = 0;
    m_pBuffer = static_cast<unsigned char*>(std::malloc(1));
    m_bFreeOnClose = true;
    return m_pBuffer != nullptr;
}

unsigned char* CRasterMemFile::GetBuffer()
{
    m_bFreeOnClose = false;
    return m_pBuffer;
}

bool CRasterMemFile::Close()
{
    if (m_pBuffer && m_bFreeOnClose) {
        std::free(m_pBuffer);
        m_pBuffer = nullptr;
        m_Size = 0;
        m_Edge = 0;
        m_Position = 0;
    }
    return true;
}

size_t CRasterMemFile::Read(void* buffer, size_t size, size_t count)
{
    if (!m_pBuffer || !buffer || m_Position > m_Size)
        return 0;
    const size_t available = size_t(m_Size - m_Position);
    size_t wanted = 0;
    // A request too large to count is certainly more than what is left.
    if (__builtin_mul_overflow(size, count, &wanted))
        wanted = std::numeric_limits<size_t>::max();
    if (wanted == 0)
        return 0;
    const size_t n = std::min(wanted, available);
    std::memcpy(buffer, m_pBuffer + m_Position, n);
    m_Position += int32_t(n);
    return n / size;
}

size_t CRasterMemFile::Write(const void* buffer, size_t size, size_t count)
{
    if (!m_pBuffer || !buffer)
        return 0;
    size_t bytes = 0;
    if (__builtin_mul_overflow(size, count, &bytes) || bytes == 0)
        return 0;
    if (bytes > size_t(kMaxMemFileBytes - m_Position))
        return 0;
    const int64_t end = int64_t(m_Position) + int64_t(bytes);
    if (end > m_Edge && !Alloc(size_t(end)))
        return 0;
    // A write after a seek past the data leaves no uninitialised gap behind.
    if (m_Position > m_Size)
        std::memset(m_pBuffer + m_Size, 0, size_t(m_Position - m_Size));
    std::memcpy(m_pBuffer + m_Position, buffer, bytes);
    m_Position = int32_t(end);
    if (m_Position > m_Size)
        m_Size = m_Position;
    return count;
}

bool CRasterMemFile::Seek(long offset, int origin)
{
    if (!m_pBuffer)
        return false;
    int64_t target = 0;
    switch (origin) {
    case 0:
        target = offset;
        break;
    case 1:
        target = int64_t(m_Position) + offset;
        break;
    case 2:
        target = int64_t(m_Size) + offset;
        break;
    default:
        return false;
    }
    if (target < 0 || target > kMaxMemFileBytes)
        return false;
    m_Position = int32_t(target);
    return true;
}

long CRasterMemFile::Tell()
{
    return m_pBuffer ? m_Position : -1;
}

long CRasterMemFile::Size()
{
    return m_pBuffer ? m_Size : -1;
}

bool CRasterMemFile::Flush()
{
    return m_pBuffer != nullptr;
}

bool CRasterMemFile::Eof()
{
    return !m_pBuffer || m_Position >= m_Size;
}

long CRasterMemFile::Error()
{
    if (!m_pBuffer)
        return -1;
    return m_Position > m_Size ? 1 : 0;
}

bool CRasterMemFile::PutC(unsigned char c)
{
    return Write(&c, 1, 1) == 1;
}

long CRasterMemFile::GetC()
{
    if (Eof())
        return -1;
    return m_pBuffer[m_Position++];
}

bool CRasterMemFile::Alloc(size_t n)
{
    if (n <= size_t(std::max<int32_t>(m_Edge, 0)))
        return true;
    if (n > size_t(kMaxMemFileBytes))
        return false;
    const int64_t need = int64_t(n) - m_Edge;
    const int64_t capacity = int64_t(m_Edge) + kGrowStep * ((need + kGrowStep - 1) / kGrowStep);
    if (capacity > kMaxMemFileBytes)
        return false;

    unsigned char* grown = nullptr;
    if (m_pBuffer && !m_bFreeOnClose) {
        // The caller's buffer may not come from malloc (a resource, a stack
        // array), so it is copied rather than handed to realloc.
        grown = static_cast<unsigned char*>(std::malloc(size_t(capacity)));
        if (grown && m_Size > 0)
            std::memcpy(grown, m_pBuffer, size_t(m_Size));
    } else {
        grown = static_cast<unsigned char*>(std::realloc(m_pBuffer, size_t(capacity)));
    }
    if (!grown)
        return false;
    m_pBuffer = grown;
    m_Edge = int32_t(capacity);
    m_bFreeOnClose = true;
    return true;
}
