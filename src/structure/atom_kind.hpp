// The rule that gives an atom its kind, from the first characters of its name.
#pragma once

#include "structure/structure_state.hpp"

namespace wsphere {

// Kinds before the last: the first two characters of the name are the symbol.
bool has_symbol(const AtomName& name, const KindSymbol& symbol);

// The last kind: the first character of the name is the symbol's, and the
// symbol has a blank as its second character.
bool has_last_symbol(const AtomName& name, const KindSymbol& symbol);

// Whether `name` belongs to kind `kind` (1-based) of `kind_count` kinds whose
// symbols are symbols[0 .. kind_count-1]: the last kind by its own rule.
bool belongs_to_kind(const AtomName& name, const KindSymbol* symbols, int kind_count, int kind);

}  // namespace wsphere
