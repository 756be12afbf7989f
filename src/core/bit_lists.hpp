// Small tools for lists kept as bits: flag bytes read eight at a time, and the
// set bits of a word listed in ascending order without a branch on how many
// there usually are.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace wsphere {

static_assert(std::endian::native == std::endian::little, "flagged_bytes reads bytes in order");

// Bit k of the result is set when byte k of the eight at `bytes` is not zero;
// each byte holds 0 or 1.
inline std::uint64_t flagged_bytes(const std::uint8_t* bytes) {
  std::uint64_t v;
  std::memcpy(&v, bytes, sizeof v);
  return (v * 0x0102040810204080ull) >> 56;
}

// Appends base + the position of each set bit of `word` (not zero) to `out`
// from `count` on, ascending, and returns the new count; `out` has room for
// count + 64 entries. The first two cost no
// branch on how many bits there are; a third is rare.
inline int list_bits(std::uint64_t word, int base, int* out, int count) {
  // The top bit stands in for an empty rest, so that neither count needs a
  // test for zero (the written value is then never counted).
  constexpr std::uint64_t kTop = std::uint64_t{1} << 63;
  const std::uint64_t rest = word & (word - 1);
  out[count] = base + std::countr_zero(word | kTop);
  out[count + 1] = base + std::countr_zero(rest | kTop);
  count += 1 + static_cast<int>(rest != 0);
  word = rest & (rest - 1);
#if defined(__GNUC__)
  // Hides that `word` is zero whenever `rest` is, so that the compiler does
  // not turn the count above into a branch on `rest`.
  asm("" : "+r"(word));
#endif
  while (word != 0) {
    out[count++] = base + std::countr_zero(word);
    word &= word - 1;
  }
  return count;
}

}  // namespace wsphere
