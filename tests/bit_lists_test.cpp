// The bit tools of the sphere filter's marks: flag bytes to bits, and the set
// bits of a word in ascending order, whatever their number and place.
#include <bit>
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "core/bit_lists.hpp"

namespace wsphere {
namespace {

TEST(BitLists, FlagBytesBecomeBitsInByteOrder) {
  struct Case {
    std::uint8_t bytes[8];
    std::uint64_t bits;
  };
  const Case cases[] = {
      {{0, 0, 0, 0, 0, 0, 0, 0}, 0x00},
      {{1, 0, 0, 0, 0, 0, 0, 0}, 0x01},
      {{0, 0, 0, 0, 0, 0, 0, 1}, 0x80},
      {{1, 1, 1, 1, 1, 1, 1, 1}, 0xff},
      {{0, 1, 0, 1, 1, 0, 0, 1}, 0x9a},
  };
  for (const Case& c : cases) EXPECT_EQ(flagged_bytes(c.bytes), c.bits);
}

TEST(BitLists, SetBitsAreListedInAscendingOrderAfterWhatIsThere) {
  const std::uint64_t top = std::uint64_t{1} << 63;
  const std::uint64_t words[] = {1, top, top | 1, 0x6, 0x7, 0x8000000100000001ull,
                                 0xf0f0f0f0f0f0f0f0ull, ~std::uint64_t{0}};
  for (const std::uint64_t word : words) {
    std::vector<int> out(3 + 64, -1);
    out[0] = out[1] = out[2] = 7;  // already listed
    const int count = list_bits(word, 1000, out.data(), 3);
    std::vector<int> expected = {7, 7, 7};
    for (int bit = 0; bit < 64; ++bit) {
      if ((word >> bit) & 1) expected.push_back(1000 + bit);
    }
    ASSERT_EQ(count, static_cast<int>(expected.size())) << std::hex << word;
    EXPECT_EQ(std::vector<int>(out.begin(), out.begin() + count), expected) << std::hex << word;
  }
}

}  // namespace
}  // namespace wsphere
