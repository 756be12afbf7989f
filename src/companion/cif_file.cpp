#include "companion/cif_file.hpp"

#include <cmath>

#include <gemmi/cif.hpp>
#include <gemmi/smcif.hpp>

#include "companion/text_scan.hpp"

namespace wsphere::companion {

namespace {

namespace cif = gemmi::cif;

std::string first_value(cif::Block& block, std::initializer_list<const char*> tags) {
  for (const char* tag : tags) {
    if (const std::string* value = block.find_value(tag)) {
      if (!cif::is_null(*value)) return cif::as_string(*value);
    }
  }
  return {};
}

Symmetry symmetry_of(cif::Block& block, const gemmi::SmallStructure& small) {
  Symmetry symmetry;
  for (const char* tag : {"_space_group_symop_operation_xyz", "_symmetry_equiv_pos_as_xyz"}) {
    const cif::Column column = block.find_values(tag);
    if (!column) continue;
    for (const std::string& value : column) symmetry.triplets.push_back(cif::as_string(value));
    break;
  }
  symmetry.hall = first_value(block, {"_space_group_name_Hall", "_symmetry_space_group_name_Hall"});
  symmetry.name = small.spacegroup_hm;
  if (symmetry.name.empty()) {
    symmetry.name = first_value(block, {"_space_group_IT_number", "_symmetry_Int_Tables_number"});
  }
  return symmetry;
}

cif::Document read_document(const std::string& path) {
  try {
    return cif::read_file(path);
  } catch (const std::exception& failure) {
    throw InputError(path + ": " + failure.what());
  }
}

}  // namespace

SourceState read_cif_file(const std::string& path) {
  cif::Document document = read_document(path);
  for (cif::Block& block : document.blocks) {
    if (!block.find_values("_atom_site_fract_x")) continue;
    const gemmi::SmallStructure small = gemmi::make_small_structure_from_block(block);
    SourceState state;
    state.file = path;
    const gemmi::UnitCell& cell = small.cell;
    state.cell = {cell.a, cell.b, cell.c, cell.alpha, cell.beta, cell.gamma};
    // Without the six cell values gemmi keeps a unit cube.
    const cif::Table lengths = block.find("_cell_", {"length_a", "length_b", "length_c", "angle_alpha",
                                                     "angle_beta", "angle_gamma"});
    if (!lengths.ok() || !(cell.a > 0.0 && cell.b > 0.0 && cell.c > 0.0)) {
      throw InputError(path + ": block " + block.name + " has no complete cell");
    }
    for (const gemmi::SmallStructure::Site& site : small.sites) {
      const std::string origin = "site " + site.label;
      // A label such as "Dw1" is not read as an element by gemmi: take its first letter then.
      const std::string element =
          site.element != gemmi::El::X ? std::string(site.element.name()) : element_of_label(site.type_symbol);
      if (element.empty()) throw InputError(path + ": " + origin + " has no element symbol");
      const std::array<double, 3> frac = {site.fract.x, site.fract.y, site.fract.z};
      for (double value : frac) {
        if (!std::isfinite(value)) throw InputError(path + ": " + origin + " has a malformed coordinate");
      }
      state.atoms.push_back({element, origin, frac});
    }
    state.symmetry = symmetry_of(block, small);
    return state;
  }
  throw InputError(path + ": no data block with fractional atom coordinates");
}

}  // namespace wsphere::companion
