#pragma once
#include <cstddef>
#include <vector>

// A growable byte buffer that receives response bodies and holds request
// bodies read from files.
class CJXMemoryStream {
public:
    explicit CJXMemoryStream(size_t initialCapacity = 4096);

    unsigned char* GetData() { return m_bytes.data(); }
    const unsigned char* GetData() const { return m_bytes.data(); }
    int GetLength() const { return static_cast<int>(m_length); }
    size_t GetSize() const { return m_length; }

    // Room for at least n bytes from the start of the buffer; the length is
    // not changed. Returns nullptr when the room cannot be had.
    unsigned char* ReAllocate(size_t n);
    // Sets the length to n bytes (no more than the room taken with ReAllocate).
    bool SetLength(size_t n);
    // Appends bytes at the end; false when memory runs out.
    bool Write(const void* data, size_t n);
    void Clear() { m_length = 0; }

private:
    std::vector<unsigned char> m_bytes;
    size_t m_length = 0;
};
