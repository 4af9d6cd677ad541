#include "BrelioCore/JXMemoryStream.h"

#include <cstring>
#include <new>
#include <stdexcept>

CJXMemoryStream::CJXMemoryStream(size_t initialCapacity) {
    try {
        m_bytes.reserve(initialCapacity);
    } catch (const std::bad_alloc&) {
    }
}

unsigned char* CJXMemoryStream::ReAllocate(size_t n) {
    try {
        if (m_bytes.size() < n) m_bytes.resize(n);
    } catch (const std::bad_alloc&) {
        return nullptr;
    } catch (const std::length_error&) {
        return nullptr;
    }
    return m_bytes.data();
}

bool CJXMemoryStream::SetLength(size_t n) {
    if (n > m_bytes.size()) return false;
    m_length = n;
    return true;
}

bool CJXMemoryStream::Write(const void* data, size_t n) {
    if (n == 0) return true;
    if (m_length + n < m_length) return false;
    size_t needed = m_length + n;
    if (m_bytes.size() < needed) {
        // Grow geometrically so that a body read in small pieces costs
        // linear time.
        size_t room = m_bytes.size() < 4096 ? 4096 : m_bytes.size();
        while (room < needed) room *= 2;
        if (ReAllocate(room) == nullptr) return false;
    }
    std::memcpy(m_bytes.data() + m_length, data, n);
    m_length = needed;
    return true;
}
