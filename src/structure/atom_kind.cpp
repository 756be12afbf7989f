#include "structure/atom_kind.hpp"

namespace wsphere {

bool has_symbol(const AtomName& name, const KindSymbol& symbol) {
  return name[0] == symbol[0] && name[1] == symbol[1];
}

bool has_last_symbol(const AtomName& name, const KindSymbol& symbol) {
  return name[0] == symbol[0] && symbol[1] == ' ';
}

bool belongs_to_kind(const AtomName& name, const KindSymbol* symbols, int kind_count, int kind) {
  const KindSymbol& symbol = symbols[kind - 1];
  return kind == kind_count ? has_last_symbol(name, symbol) : has_symbol(name, symbol);
}

}  // namespace wsphere
