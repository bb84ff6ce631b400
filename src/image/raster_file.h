// Byte streams of the raster library. Every decoder and the GIF writer read and
// write through CRasterFile, so the same code serves disk files and memory.
// The calls follow stdio closely, argument order included.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

class CRasterFile {
public:
    virtual ~CRasterFile() = default;
    virtual bool Close() = 0;
    // Returns the number of whole items read.
    virtual size_t Read(void* buffer, size_t size, size_t count) = 0;
    // Returns the number of items written.
    virtual size_t Write(const void* buffer, size_t size, size_t count) = 0;
    // origin: 0 from the start, 1 from the current position, 2 from the end.
    virtual bool Seek(long offset, int origin) = 0;
    virtual long Tell() = 0;
    virtual long Size() = 0;
    virtual bool Flush() = 0;
    virtual bool Eof() = 0;
    virtual long Error() = 0;
    virtual bool PutC(unsigned char c) { return Write(&c, 1, 1) == 1; }
    // The byte 0..255, or -1 at the end.
    virtual long GetC() = 0;
};

// A stdio stream. Owns the stream only when it opened it itself.
class CRasterIOFile : public CRasterFile {
public:
    explicit CRasterIOFile(FILE* stream = nullptr);
    ~CRasterIOFile() override;
    CRasterIOFile(const CRasterIOFile&) = delete;
    CRasterIOFile& operator=(const CRasterIOFile&) = delete;

    bool Open(const char* name, const char* mode);
    bool Close() override;
    size_t Read(void* buffer, size_t size, size_t count) override;
    size_t Write(const void* buffer, size_t size, size_t count) override;
    bool Seek(long offset, int origin) override;
    long Tell() override;
    long Size() override;
    bool Flush() override;
    bool Eof() override;
    long Error() override;
    bool PutC(unsigned char c) override;
    long GetC() override;

protected:
    FILE* m_fp;
    bool m_bCloseFile;
};

// A growable memory buffer. Owns the buffer only when it allocated it itself
// (or grew it); GetBuffer hands the buffer and its ownership to the caller,
// who releases it with free().
class CRasterMemFile : public CRasterFile {
public:
    explicit CRasterMemFile(unsigned char* buffer = nullptr, unsigned size = 0);
    ~CRasterMemFile() override;
    CRasterMemFile(const CRasterMemFile&) = delete;
    CRasterMemFile& operator=(const CRasterMemFile&) = delete;

    bool Open();
    unsigned char* GetBuffer();
    bool Close() override;
    size_t Read(void* buffer, size_t size, size_t count) override;
    size_t Write(const void* buffer, size_t size, size_t count) override;
    bool Seek(long offset, int origin) override;
    long Tell() override;
    long Size() override;
    bool Flush() override;
    bool Eof() override;
    long Error() override;
    bool PutC(unsigned char c) override;
    long GetC() override;

    long Capacity() const { return m_Edge; }

protected:
    // Grows the buffer to hold n bytes; false when that is impossible.
    bool Alloc(size_t n);

    unsigned char* m_pBuffer;
    int32_t m_Size;
    bool m_bFreeOnClose;
    int32_t m_Position;
    int32_t m_Edge;
};
