// The structure state: everything read from input.txt, filled once at the
// start of a run and only read afterwards.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "core/checked_array.hpp"
#include "wsphere/cell.hpp"

namespace wsphere {

inline constexpr int kKindCapacity = 10;
inline constexpr int kCellCapacity = 1000;

using KindSymbol = std::array<char, 2>;  // blank-padded, zero bytes until read
using AtomName = std::array<char, 6>;    // blank-padded, zero bytes until read

inline std::string_view bytes_of(const KindSymbol& symbol) { return {symbol.data(), symbol.size()}; }
inline std::string_view bytes_of(const AtomName& name) { return {name.data(), name.size()}; }

// Fractional coordinates, one array per axis.
template <int Capacity>
struct Positions {
  CheckedArray<float, Capacity> x;
  CheckedArray<float, Capacity> y;
  CheckedArray<float, Capacity> z;
};

struct StructureState {
  Cell initial_cell;
  Cell minimised_cell;
  float sphere_radius = 0.0f;
  float bond_limit = 0.0f;
  std::int32_t kind_count = 0;
  CheckedArray<KindSymbol, kKindCapacity> kind_symbols;
  CheckedArray<float, kKindCapacity> bond_reference;

  // Report switches: a table is written only when its switch is exactly 1.
  std::int32_t print_initial_positions = 0;
  std::int32_t print_minimised_positions = 0;
  std::int32_t print_corrected_positions = 0;
  std::int32_t print_block_initial = 0;
  std::int32_t print_block_minimised = 0;
  std::int32_t print_sphere_details = 0;
  std::int32_t print_w_table = 0;
  std::int32_t print_w_ordered = 0;
  std::int32_t print_w_by_kind = 0;
  std::int32_t print_w_summary = 0;

  std::int32_t cell_atom_count = 0;
  CheckedArray<AtomName, kCellCapacity> cell_atom_names;
  Positions<kCellCapacity> initial_positions;
  Positions<kCellCapacity> minimised_positions;
};

}  // namespace wsphere
