// Fast search for the first of a few bytes, used by the line and attribute scans.
#pragma once

#include <cstddef>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace pelmora::model::detail {

// Index of the first byte of p[0..n) equal to one of `C...`, or n. Sixteen
// bytes at a time where the processor allows: most bytes of a definition file
// are ordinary text, and a byte-by-byte loop dominated the parse.
template <char... C>
std::size_t FindAny(const char* p, std::size_t n) {
  std::size_t i = 0;
#if defined(__SSE2__)
  for (; i + 16 <= n; i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    __m128i hits = _mm_setzero_si128();
    ((hits = _mm_or_si128(hits, _mm_cmpeq_epi8(v, _mm_set1_epi8(C)))), ...);
    if (const int bits = _mm_movemask_epi8(hits)) {
      return i + static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(bits)));
    }
  }
#endif
  for (; i < n; ++i) {
    if (((p[i] == C) || ...))
      return i;
  }
  return n;
}

}  // namespace pelmora::model::detail
