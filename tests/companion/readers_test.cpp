// Reading the files of a minimisation run: words and numbers, the input and
// restart files, the printed output and CIF files.
#include <gtest/gtest.h>

#include <algorithm>

#include "companion/cif_file.hpp"
#include "companion/expansion.hpp"
#include "companion/gulp_files.hpp"
#include "companion/text_scan.hpp"
#include "companion_support.hpp"

namespace wsphere::companion::testing {
namespace {

TEST(TextScan, KeywordsMayBeShortenedToFourLetters) {
  const struct {
    const char* word;
    const char* keyword;
    bool names;
  } cases[] = {
      {"fractional", "fractional", true}, {"frac", "fractional", true}, {"FRACT", "fractional", true},
      {"fra", "fractional", false},       {"fractionals", "fractional", false},
      {"cell", "cell", true},             {"cel", "cell", false},       {"spac", "space", true},
      {"spacegroup", "space", false},     {"cart", "cartesian", true},  {"core", "cell", false},
  };
  for (const auto& c : cases) EXPECT_EQ(names_keyword(c.word, c.keyword), c.names) << c.word;
}

TEST(TextScan, NumbersAreDecimalsOrFractions) {
  const struct {
    const char* text;
    bool ok;
    double value;
  } cases[] = {
      {"0.25", true, 0.25}, {"-1.5e-3", true, -1.5e-3}, {"+0.5", true, 0.5}, {".5", true, 0.5},
      {"1/3", true, 1.0 / 3.0}, {"-2/3", true, -2.0 / 3.0}, {"1/0", false, 0}, {"0.12x", false, 0},
      {"", false, 0}, {"nan", false, 0}, {"inf", false, 0}, {"1/", false, 0}, {"--1", false, 0},
  };
  for (const auto& c : cases) {
    double value = -99.0;
    EXPECT_EQ(parse_number(c.text, value), c.ok) << c.text;
    if (c.ok) {
      EXPECT_DOUBLE_EQ(value, c.value) << c.text;
    }
  }
}

TEST(TextScan, LabelsStartWithAnElementSymbol) {
  const struct {
    const char* label;
    const char* element;
  } cases[] = {
      {"Si12", "Si"}, {"O2", "O"}, {"ca", "Ca"}, {"CL1", "Cl"}, {"Oh1", "O"}, {"C1", "C"},
      {"Co3", "Co"},  {"F", "F"},  {"Xx", ""},   {"2Si", ""},  {"", ""},     {"Q1", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(element_of_label(c.label), c.element) << c.label;
}

// A rock-salt cell written in the ways the input file allows.
const char* const kRockSaltHeader = "opti conp\n# a comment line\n";
const char* const kRockSaltAtoms =
    "Na core 0.0 0.0 0.0 1.0 1.0 0.0\n"
    "Cl core 0.5 0.5 0.5 -1.0\n"
    "Cl shel 0.51 0.5 0.5 -1.0\n"
    "species 2\nNa core 1.0\nCl core -1.0\nbuck\nNa core Cl shel 1000.0 0.3 0.0 0.0 10.0\n";

SourceState read_input_text(const TempDir& dir, const std::string& text) {
  const fs::path path = dir / "run.gin";
  write_file(path, text);
  return read_gulp_input(path.string());
}

TEST(GulpInput, CellAndFractionalBlockInEveryAllowedSpelling) {
  const std::string cell_block = "cell\n  5.0 6.0 7.0 90.0 90.0 90.0\n";
  const std::string variants[] = {
      cell_block + "fractional 1\n" + kRockSaltAtoms,
      cell_block + "frac\n" + kRockSaltAtoms,
      "cell 5.0 6.0 7.0 90.0 90.0 90.0 1 1 1 1 1 1\nFRACTIONAL\n" + std::string(kRockSaltAtoms),
      cell_block + "fract   # cores and shells\nNa 0.0 0.0 0.0\nCl c 0.5 0.5 0.5\nCl s 0.5 0.5 0.5\n",
      cell_block + "frac\nNa cor 0/1 0.0 0.0\nCl bcor 1/2 0.5 0.5\nCl bshe 0.5 0.5 0.5\nend\n",
  };
  TempDir dir;
  for (const std::string& body : variants) {
    const SourceState state = read_input_text(dir, kRockSaltHeader + body);
    ASSERT_EQ(state.atoms.size(), 2u) << body;
    EXPECT_EQ(state.atoms[0].element, "Na");
    EXPECT_EQ(state.atoms[1].element, "Cl");
    EXPECT_DOUBLE_EQ(state.atoms[1].frac[0], 0.5);
    EXPECT_DOUBLE_EQ(state.cell.c, 7.0);
    EXPECT_DOUBLE_EQ(state.cell.gamma, 90.0);
    EXPECT_TRUE(state.symmetry.name.empty());
  }
}

TEST(GulpInput, SpaceGroupExpandsTheAsymmetricUnit) {
  const std::string atoms = "frac\nNa core 0 0 0\nCl core 1/2 1/2 1/2\n";
  const std::string variants[] = {
      "cell\n5.64 5.64 5.64 90 90 90\nspace\nF M 3 M\n" + atoms,
      "cell\n5.64 5.64 5.64 90 90 90\n" + atoms + "spac 225\n",
  };
  TempDir dir;
  for (const std::string& text : variants) {
    const Crystal crystal = expand(read_input_text(dir, text));
    ASSERT_EQ(crystal.atoms.size(), 8u) << text;
    for (int i = 0; i < 8; ++i) EXPECT_EQ(crystal.atoms[i].element, i < 4 ? "Na" : "Cl");
  }
}

TEST(GulpInput, OnlyTheFirstConfigurationIsRead) {
  TempDir dir;
  const SourceState state = read_input_text(
      dir, "cell\n5 5 5 90 90 90\nfrac\nNa core 0 0 0\nname second\ncell\n6 6 6 90 90 90\nfrac\n"
           "K core 0 0 0\nK core 0.5 0.5 0.5\n");
  ASSERT_EQ(state.atoms.size(), 1u);
  EXPECT_DOUBLE_EQ(state.cell.a, 5.0);
}

TEST(GulpInput, FaultsNameFileAndLine) {
  const struct {
    const char* text;
    const char* message;
  } cases[] = {
      {"cell\n5 5 5 90 90 90\nfrac\nNa core 0.1 0.2q 0.3\n", "run.gin, line 4: \"0.2q\" is not a number"},
      {"cell\n5 5 5 90 90 x\nfrac\nNa core 0 0 0\n", "run.gin, line 2: \"x\" is not a number"},
      {"cell\n5 5 5 90 90\nfrac\nNa core 0 0 0\n", "run.gin, line 2: the cell needs six values"},
      {"cell\n5 5 5 90 90 90\nfrac\nNa core 0.1 0.2\n", "run.gin, line 4: an atom needs three coordinates"},
      {"cell\n5 5 5 90 90 90\nfrac\nQq core 0 0 0\n",
       "run.gin, line 4: label \"Qq\" does not start with an element symbol"},
      {"cell\n5 5 5 90 90 90\ncart\nNa core 0 0 0\n",
       "run.gin, line 3: Cartesian coordinates are not supported; give the atoms as \"fractional\""},
      {"frac\nNa core 0 0 0\n", "run.gin: no cell parameters (keyword \"cell\")"},
      {"cell\n5 5 5 90 90 90\n", "run.gin: no fractional coordinates (keyword \"fractional\")"},
      {"cell\n5 5 5 90 90 90\nfrac\nNa shel 0 0 0\n", "run.gin: the fractional block holds no core"},
      {"cell\n5 5 5 90 90 90\nspace\n", "run.gin, line 3: \"space\" without a group symbol"},
  };
  TempDir dir;
  for (const auto& c : cases) {
    const std::string message = error_of([&] { read_input_text(dir, c.text); });
    EXPECT_EQ(message, (dir / "run.gin").string() + std::string(c.message).substr(7)) << c.text;
  }
}

TEST(GulpInput, UnreadableFile) {
  EXPECT_EQ(error_of([] { read_gulp_input("/nonexistent/run.gin"); }),
            "/nonexistent/run.gin: cannot be read");
}

const char* const kOutputWithSymmetry = R"(
  Space group (centrosymmetric)    :  F M 3 M

  Cell parameters (Angstroms/Degrees):

  a =       5.6400    alpha =  90.0000
  b =       5.6400    beta  =  90.0000
  c =       5.6400    gamma =  90.0000
  Formula = NaCl

  Fractional coordinates of asymmetric unit :

--------------------------------------------------------------------------------
   No.  Atomic       x           y          z         Charge      Occupancy
        Label      (Frac)      (Frac)     (Frac)        (e)         (Frac)
--------------------------------------------------------------------------------
      1 Na    c    0.000000    0.000000    0.000000     1.00000    1.000000
      2 Cl    c    0.500000 *  0.500000 *  0.500000 *  -1.00000    1.000000
      3 Cl    s    0.500000 *  0.500000 *  0.500000 *  -1.00000    1.000000
--------------------------------------------------------------------------------
  Start of bulk optimisation :
  Final asymmetric unit coordinates :

--------------------------------------------------------------------------------
   No.  Atomic        x           y          z          Radius
        Label       (Frac)      (Frac)     (Frac)       (Angs)
--------------------------------------------------------------------------------
     1  Na    c     0.000000    0.000000    0.000000    0.000000
     2  Cl    c     0.500000    0.500000    0.500000    0.000000
     3  Cl    s     0.500000    0.500000    0.500000    0.000000
--------------------------------------------------------------------------------
)";

// A constant-volume run with symmetry: no final cell table, a final
// asymmetric unit expanded like the initial one.
TEST(GulpOutput, ConstantVolumeRunWithSymmetry) {
  TempDir dir;
  write_file(dir / "nacl.gout", kOutputWithSymmetry);
  const RunStates states = read_gulp_output((dir / "nacl.gout").string());
  EXPECT_EQ(states.initial.symmetry.name, "F M 3 M");
  EXPECT_EQ(states.final.symmetry.name, "F M 3 M");
  EXPECT_DOUBLE_EQ(states.final.cell.a, 5.64);
  EXPECT_DOUBLE_EQ(states.final.cell.gamma, 90.0);
  const Crystal initial = expand(states.initial);
  const Crystal final = expand(states.final);
  EXPECT_EQ(initial.atoms.size(), 8u);
  EXPECT_EQ(final.atoms.size(), 8u);
}

TEST(GulpOutput, FaultsNameTheTable) {
  std::string unclosed = kOutputWithSymmetry;
  unclosed.resize(unclosed.find('\n', unclosed.rfind("     2  Cl    c")) + 1);
  std::string no_final = kOutputWithSymmetry;
  no_final.resize(no_final.find("  Final asymmetric"));
  no_final += "  Start of bulk optimisation :\n";
  std::string bad_type = kOutputWithSymmetry;
  bad_type.replace(bad_type.find("Cl    s "), 8, "Cl    x ");
  const struct {
    std::string text;
    std::string message;
  } cases[] = {
      {unclosed, ": the table at line 22 is not closed"},
      {no_final, ": no final coordinates (\"Final fractional coordinates of atoms\" or \"Final "
                 "asymmetric unit coordinates\"): did the run end?"},
      {bad_type, ", line 19: \"x\" is neither c nor s"},
      {"  Start of bulk optimisation :\nnothing else\n", ": no \"Cell parameters (Angstroms/Degrees):\" table"},
  };
  TempDir dir;
  const std::string path = (dir / "run.gout").string();
  for (const auto& c : cases) {
    write_file(path, c.text);
    EXPECT_EQ(error_of([&] { read_gulp_output(path); }), path + c.message);
  }
}

std::string line_after(const std::string& text) {
  return std::to_string(std::count(text.begin(), text.end(), '\n') + 1);
}

// A printed output without a final structure says why: GULP's own error, a
// run without optimisation, or else a run cut short.
TEST(GulpOutput, MissingFinalStructureIsExplained) {
  std::string single = kOutputWithSymmetry;
  single.resize(single.find("  Start of bulk"));
  const std::string started =
      single + "  Start of bulk optimisation :\n\n  Cycle:      0 Energy:   -10.2  Gnorm:   0.01  CPU:   0.1\n\n";
  const std::string failed = ", line " + line_after(started) + ": GULP ended with an error: ";
  const std::string advice = "; run GULP with the keyword optimise, or name the initial and the minimised "
                             "structure as two files";
  const struct {
    std::string text;
    std::string message;
  } cases[] = {
      {single, ": the run did no optimisation (no 'Start of bulk optimisation')" + advice},
      {started + " !! ERROR : maximum number of cycles exceeded\n", failed + "maximum number of cycles exceeded"},
      {started + " !! ERROR : too many failures in line search\n !! ERROR : Problem in line search\n\n"
                 "  Job Finished at 10:01.12\n",
       failed + "too many failures in line search; Problem in line search"},
      {started + "  !!  ERROR:too many failed attempts to optimise\n  !!   - check the potentials\n",
       failed + "too many failed attempts to optimise; - check the potentials"},
      // Only a block that starts with ERROR is GULP's error.
      {started + " !! the next cycle is slow\n",
       ": no final coordinates (\"Final fractional coordinates of atoms\" or \"Final asymmetric unit "
       "coordinates\"): did the run end?"},
      // The error is why the run did no optimisation, and why the structure is missing.
      {single + " !! ERROR : atom type missing from the library\n",
       ": the run did no optimisation (no 'Start of bulk optimisation'); GULP ended with an error at line " +
           line_after(single) + ": atom type missing from the library"},
      {"\n !! ERROR : cell parameters are missing\n !!!!!!!!!!!!!!!!!!!!\n",
       ": the run did no optimisation (no 'Start of bulk optimisation'); GULP ended with an error at line 2: cell "
       "parameters are missing"},
  };
  TempDir dir;
  const std::string path = (dir / "run.gout").string();
  for (const auto& c : cases) {
    write_file(path, c.text);
    EXPECT_EQ(error_of([&] { read_gulp_output(path); }), path + c.message) << c.text;
  }
}

// The input structure alone is read from a run without a final structure.
TEST(GulpOutput, InputStructureOfARunWithoutFinalStructure) {
  std::string single = kOutputWithSymmetry;
  single.resize(single.find("  Final asymmetric"));
  TempDir dir;
  const std::string path = (dir / "run.gout").string();
  for (const std::string& text : {single, single + " !! ERROR : too many failed attempts to optimise\n"}) {
    write_file(path, text);
    const SourceState initial = read_gulp_output_initial(path);
    EXPECT_EQ(initial.atoms.size(), 2u) << text;
    EXPECT_EQ(initial.symmetry.name, "F M 3 M");
    EXPECT_DOUBLE_EQ(initial.cell.a, 5.64);
  }
}

// An error after the final tables (say, in a later property step) leaves the
// optimised structure as it is.
TEST(GulpOutput, ErrorAfterTheFinalTablesKeepsTheStates) {
  TempDir dir;
  write_file(dir / "run.gout", std::string(kOutputWithSymmetry) + "\n !! ERROR : phonons need a full Hessian\n");
  const RunStates states = read_gulp_output((dir / "run.gout").string());
  EXPECT_EQ(states.final.atoms.size(), 2u);
}

TEST(GulpOutput, RealRunGivesBothStates) {
  const RunStates states = read_gulp_output((kGulp / "stw-ge3-c0002.gout").string());
  EXPECT_EQ(states.initial.atoms.size(), 186u);  // 312 atoms and shells, 126 of them shells
  EXPECT_EQ(states.final.atoms.size(), 186u);
  EXPECT_NEAR(states.initial.cell.alpha, 90.43, 0.005);
  EXPECT_NEAR(states.final.cell.alpha, 90.36, 0.005);
  EXPECT_NEAR(states.final.cell.gamma, 119.95, 0.005);
}

TEST(CifFile, QuartzExpandsToNineAtomsInEitherSetting) {
  for (const char* file : {"quartz_Tucker2001_COD1526860.cif", "quartz_10.2GPa_Glinnemann1992.cif"}) {
    const Crystal crystal = expand(read_cif_file((kCif / file).string()));
    ASSERT_EQ(crystal.atoms.size(), 9u) << file;
    int silicon = 0;
    for (const Atom& atom : crystal.atoms) {
      silicon += atom.element == "Si";
      for (double x : atom.frac) {
        EXPECT_GE(x, 0.0);
        EXPECT_LT(x, 1.0);
      }
    }
    EXPECT_EQ(silicon, 3) << file;
  }
}

TEST(CifFile, SymmetryFromOperationsNameOrNumber) {
  const std::string head =
      "data_x\n_cell_length_a 5.64\n_cell_length_b 5.64\n_cell_length_c 5.64\n"
      "_cell_angle_alpha 90\n_cell_angle_beta 90\n_cell_angle_gamma 90\n";
  const std::string sites =
      "loop_\n_atom_site_label\n_atom_site_fract_x\n_atom_site_fract_y\n_atom_site_fract_z\n"
      "Na1 0 0 0\nCl1 0.5 0.5 0.5\n";
  const struct {
    std::string symmetry;
    std::size_t atoms;
  } cases[] = {
      {"_symmetry_space_group_name_H-M 'F m -3 m'\n", 8},
      {"_space_group_IT_number 225\n", 8},
      {"_symmetry_space_group_name_Hall '-F 4 2 3'\n", 8},
      {"loop_\n_space_group_symop_operation_xyz\nx,y,z\nx+1/2,y+1/2,z\n", 4},
      {"", 2},
  };
  TempDir dir;
  const std::string path = (dir / "nacl.cif").string();
  for (const auto& c : cases) {
    write_file(path, head + c.symmetry + sites);
    EXPECT_EQ(expand(read_cif_file(path)).atoms.size(), c.atoms) << c.symmetry;
  }
}

TEST(CifFile, ElementsFromLabelsWithoutTypeSymbols) {
  TempDir dir;
  const std::string path = (dir / "labels.cif").string();
  write_file(path,
             "data_l\n_cell_length_a 5\n_cell_length_b 5\n_cell_length_c 5\n_cell_angle_alpha 90\n"
             "_cell_angle_beta 90\n_cell_angle_gamma 90\nloop_\n_atom_site_label\n_atom_site_fract_x\n"
             "_atom_site_fract_y\n_atom_site_fract_z\nDw1 0 0 0.1\nOw 0 0 0.2\nCa1 0 0 0.3\nSi 0 0 0.4\n"
             "Sia 0 0 0.5\n");
  std::string elements;
  for (const Atom& atom : read_cif_file(path).atoms) elements += atom.element + " ";
  EXPECT_EQ(elements, "D O Ca Si Si ");
}

TEST(CifFile, Faults) {
  const std::string cell =
      "data_x\n_cell_length_a 5\n_cell_length_b 5\n_cell_length_c 5\n"
      "_cell_angle_alpha 90\n_cell_angle_beta 90\n_cell_angle_gamma 90\n";
  const std::string loop = "loop_\n_atom_site_label\n_atom_site_fract_x\n_atom_site_fract_y\n_atom_site_fract_z\n";
  const struct {
    std::string text;
    std::string message;
  } cases[] = {
      {cell + loop + "Na1 0 0.2q 0\n", ": site Na1 has a malformed coordinate"},
      {cell + loop + "Qq1 0 0 0\n", ": site Qq1 has no element symbol"},
      {cell, ": no data block with fractional atom coordinates"},
      {"data_x\n" + loop + "Na1 0 0 0\n", ": block x has no complete cell"},
      {cell + "_symmetry_space_group_name_H-M 'Q 9'\n" + loop + "Na1 0 0 0\n", ": unknown space group \"Q 9\""},
  };
  TempDir dir;
  const std::string path = (dir / "bad.cif").string();
  for (const auto& c : cases) {
    write_file(path, c.text);
    EXPECT_EQ(error_of([&] { expand(read_cif_file(path)); }), path + c.message) << c.text;
  }
  write_file(path, "data_x\nloop_\n_a\n");
  EXPECT_NE(error_of([&] { read_cif_file(path); }).find(path), std::string::npos);
}

}  // namespace
}  // namespace wsphere::companion::testing
