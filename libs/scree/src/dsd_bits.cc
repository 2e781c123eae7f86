#include "libs/scree/src/dsd_bits.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define SCREE_X86 1
#endif

namespace scree {

void InterleavePairScalar(const uint8_t* left, const uint8_t* right, size_t n, uint8_t* out,
                          bool reverse) {
  if (reverse) {
    for (size_t i = 0; i < n; ++i) {
      out[2 * i] = kBitReverse[left[i]];
      out[2 * i + 1] = kBitReverse[right[i]];
    }
  } else {
    for (size_t i = 0; i < n; ++i) {
      out[2 * i] = left[i];
      out[2 * i + 1] = right[i];
    }
  }
}

#ifdef SCREE_X86
namespace {

// Reverses 16 bytes at once: each nibble is looked up reversed and the halves swapped.
__attribute__((target("ssse3"))) inline __m128i Reverse16(__m128i v) {
  const __m128i low_nibble = _mm_set1_epi8(0x0F);
  const __m128i rev_to_high =
      _mm_setr_epi8(0x00, (char)0x80, 0x40, (char)0xC0, 0x20, (char)0xA0, 0x60, (char)0xE0, 0x10,
                    (char)0x90, 0x50, (char)0xD0, 0x30, (char)0xB0, 0x70, (char)0xF0);
  const __m128i rev_to_low =
      _mm_setr_epi8(0x0, 0x8, 0x4, 0xC, 0x2, 0xA, 0x6, 0xE, 0x1, 0x9, 0x5, 0xD, 0x3, 0xB, 0x7, 0xF);
  __m128i lo = _mm_and_si128(v, low_nibble);
  __m128i hi = _mm_and_si128(_mm_srli_epi16(v, 4), low_nibble);
  return _mm_or_si128(_mm_shuffle_epi8(rev_to_high, lo), _mm_shuffle_epi8(rev_to_low, hi));
}

template <bool kReverse>
__attribute__((target("ssse3"))) void InterleaveSsse3(const uint8_t* left, const uint8_t* right,
                                                      size_t n, uint8_t* out) {
  size_t i = 0;
  for (; i + 16 <= n; i += 16) {
    __m128i l = _mm_loadu_si128(reinterpret_cast<const __m128i*>(left + i));
    __m128i r = _mm_loadu_si128(reinterpret_cast<const __m128i*>(right + i));
    if (kReverse) {
      l = Reverse16(l);
      r = Reverse16(r);
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * i), _mm_unpacklo_epi8(l, r));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * i + 16), _mm_unpackhi_epi8(l, r));
  }
  InterleavePairScalar(left + i, right + i, n - i, out + 2 * i, kReverse);
}

__attribute__((target("avx2"))) inline __m256i Reverse32(__m256i v) {
  const __m256i low_nibble = _mm256_set1_epi8(0x0F);
  const __m256i rev_to_high = _mm256_broadcastsi128_si256(
      _mm_setr_epi8(0x00, (char)0x80, 0x40, (char)0xC0, 0x20, (char)0xA0, 0x60, (char)0xE0, 0x10,
                    (char)0x90, 0x50, (char)0xD0, 0x30, (char)0xB0, 0x70, (char)0xF0));
  const __m256i rev_to_low = _mm256_broadcastsi128_si256(_mm_setr_epi8(
      0x0, 0x8, 0x4, 0xC, 0x2, 0xA, 0x6, 0xE, 0x1, 0x9, 0x5, 0xD, 0x3, 0xB, 0x7, 0xF));
  __m256i lo = _mm256_and_si256(v, low_nibble);
  __m256i hi = _mm256_and_si256(_mm256_srli_epi16(v, 4), low_nibble);
  return _mm256_or_si256(_mm256_shuffle_epi8(rev_to_high, lo), _mm256_shuffle_epi8(rev_to_low, hi));
}

// 32 bytes of each side per step. The byte unpacks work within 128-bit lanes, so the lanes are
// put back in order with a permute.
template <bool kReverse>
__attribute__((target("avx2"))) void InterleaveAvx2(const uint8_t* left, const uint8_t* right,
                                                    size_t n, uint8_t* out) {
  size_t i = 0;
  for (; i + 32 <= n; i += 32) {
    __m256i l = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(left + i));
    __m256i r = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(right + i));
    if (kReverse) {
      l = Reverse32(l);
      r = Reverse32(r);
    }
    const __m256i lo = _mm256_unpacklo_epi8(l, r), hi = _mm256_unpackhi_epi8(l, r);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 2 * i),
                        _mm256_permute2x128_si256(lo, hi, 0x20));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 2 * i + 32),
                        _mm256_permute2x128_si256(lo, hi, 0x31));
  }
  InterleaveSsse3<kReverse>(left + i, right + i, n - i, out + 2 * i);
}

const bool kHaveSsse3 = __builtin_cpu_supports("ssse3");
const bool kHaveAvx2 = __builtin_cpu_supports("avx2");

}  // namespace
#endif

void InterleavePair(const uint8_t* left, const uint8_t* right, size_t n, uint8_t* out,
                    bool reverse) {
#ifdef SCREE_X86
  if (kHaveAvx2) {
    if (reverse) {
      InterleaveAvx2<true>(left, right, n, out);
    } else {
      InterleaveAvx2<false>(left, right, n, out);
    }
    return;
  }
  if (kHaveSsse3) {
    if (reverse) {
      InterleaveSsse3<true>(left, right, n, out);
    } else {
      InterleaveSsse3<false>(left, right, n, out);
    }
    return;
  }
#endif
  InterleavePairScalar(left, right, n, out, reverse);
}

}  // namespace scree
