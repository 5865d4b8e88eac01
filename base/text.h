// Bounded text copies into the fixed-size buffers the design uses.
// Every copy terminates its target; none writes past it.
#pragma once
#include <cstddef>
#include <cstring>

// Every folder and DLL path is kept in a text of this size: in the path
// lists, the records and the probe marker.
enum { PATH_TEXT_SIZE = 1024 };

// Copies src into dst[size], cutting it when it does not fit.
// Returns false when it had to cut.
inline bool CopyText(char* dst, size_t size, const char* src)
{
    if (size == 0)
        return false;
    size_t n = 0;
    while (n + 1 < size && src[n])
        ++n;
    bool fits = src[n] == 0;
    memcpy(dst, src, n);
    dst[n] = 0;
    return fits;
}

// Appends src to the text in dst[size], cutting it when it does not fit.
inline bool AppendText(char* dst, size_t size, const char* src)
{
    size_t used = strnlen(dst, size);
    if (used >= size)
        return false;
    return CopyText(dst + used, size - used, src);
}

template <size_t N> inline bool CopyText(char (&dst)[N], const char* src) { return CopyText(dst, N, src); }
template <size_t N> inline bool AppendText(char (&dst)[N], const char* src) { return AppendText(dst, N, src); }
