// wsphere-input from the command line: the three routes from a real run, the
// written file run through wsphere, and the messages of each refusal.
#include <gtest/gtest.h>

#include <sstream>

#include "companion/cif_file.hpp"
#include "companion/expansion.hpp"
#include "companion/gulp_files.hpp"
#include "companion/options.hpp"
#include "companion/text_scan.hpp"
#include "companion_support.hpp"

namespace wsphere::companion::testing {
namespace {

const std::string kRun = (kGulp / "stw-ge-c0002").string();

struct Route {
  const char* name;
  Crystal initial;
  Crystal minimised;
  double precision;  // half a unit in the last place the coarsest file prints
};

std::vector<Route> routes() {
  const RunStates printed = read_gulp_output(kRun + ".gout");
  const Crystal input = expand(read_gulp_input(kRun + ".gin"));
  return {
      {".gout", expand(printed.initial), expand(printed.final), 5e-7},
      {".gin + .res", input, expand(read_gulp_input(kRun + ".res")), 5e-8},
      {".gin + .cif", input, expand(read_cif_file(kRun + ".cif")), 5e-6},
  };
}

TEST(Routes, AllThreeGiveTheSameAtomsInTheSameOrder) {
  const std::vector<Route> all = routes();
  const Route& reference = all[1];
  ASSERT_EQ(reference.initial.atoms.size(), 186u);
  for (const Route& route : all) {
    ASSERT_EQ(route.initial.atoms.size(), 186u) << route.name;
    ASSERT_EQ(route.minimised.atoms.size(), 186u) << route.name;
    for (std::size_t i = 0; i < 186; ++i) {
      EXPECT_EQ(route.initial.atoms[i].element, reference.initial.atoms[i].element) << route.name << i;
      EXPECT_EQ(route.minimised.atoms[i].element, reference.initial.atoms[i].element) << route.name << i;
    }
    // The printed output rounds to six decimals what the input file gives with seven.
    EXPECT_LE(largest_coordinate_difference(route.initial.atoms, reference.initial.atoms), 5e-7 + 5e-8)
        << route.name;
    EXPECT_LE(largest_coordinate_difference(route.minimised.atoms, reference.minimised.atoms),
              route.precision + 5e-8)
        << route.name;
    EXPECT_NEAR(route.minimised.cell.c, 29.439255, route.name == std::string(".gin + .cif") ? 5e-5 : 5e-7);
  }
}

TEST(Routes, WrittenFileRunsThroughWsphere) {
  const std::vector<std::vector<std::string>> commands = {
      {kRun + ".gout"}, {kRun + ".gin", kRun + ".res"}, {kRun + ".gin", kRun + ".cif"}};
  for (const auto& inputs : commands) {
    TempDir dir;
    const Result made = run_binary(dir.path(), inputs);
    ASSERT_EQ(made.status, 0) << made.err;
    const auto ran = wsphere::testing::run_wsphere(dir.path());
    EXPECT_EQ(ran.status, 0) << inputs.back();
    EXPECT_EQ(ran.err, "");
    EXPECT_GT(fs::file_size(dir / "output.txt"), 10000u);
  }
}

// The atom lines written for the kyanite pair are those of the shipped example.
TEST(Routes, KyanitePairGivesTheExamplePositions) {
  TempDir dir;
  const Result made = run_in_process(
      {(kCif / "kyanite_P0_Yang1997_AMCSD0001892.cif").string(),
       (kCif / "kyanite_2.54GPa_Yang1997_COD9001838.cif").string(), "-o", (dir / "input.txt").string()});
  ASSERT_EQ(made.status, 0) << made.err;
  const auto atom_lines = [](const std::string& text) {
    std::vector<std::vector<std::string>> lines;
    const std::size_t start = text.find("\natoms");
    std::istringstream in(text.substr(start + 1));
    std::string line;
    std::getline(in, line);
    std::getline(in, line);
    while (std::getline(in, line)) lines.push_back(split_words(line));
    return lines;
  };
  EXPECT_EQ(atom_lines(read_file(dir / "input.txt")),
            atom_lines(read_file(fs::path(WSPHERE_EXAMPLES) / "kyanite" / "input.txt")));
}

TEST(CommandLine, SummaryLinesOnSuccess) {
  TempDir dir;
  const std::string initial = (kCif / "kyanite_P0_Yang1997_AMCSD0001892.cif").string();
  const std::string minimised = (kCif / "kyanite_2.54GPa_Yang1997_COD9001838.cif").string();
  const Result made = run_binary(dir.path(), {initial, minimised, "--kind", "Si", "--kind", "Al=1.91",
                                              "--kind", "O", "--title", "kyanite"});
  EXPECT_EQ(made.status, 0);
  EXPECT_EQ(made.out, "");
  EXPECT_EQ(made.err,
            "bond limit: 2.2000 A, chosen from the initial structure: the first shells of kinds 1 and 2 end at "
            "up to 1.9953 A, their next neighbours start at 2.7569 A (--bond-limit to choose otherwise)\n"
            "reference Si: 1.6348 A, the mean of 16 distances up to the bond limit in the initial state\n"
            "initial: " + initial + ": 32 atoms, cell 7.1200 7.8479 5.5738 89.974 101.117 106.000, kinds Si 4 Al 8 O 20\n"
            "minimised: " + minimised + ": 32 atoms, cell 7.0896 7.8173 5.5497 90.031 101.098 105.987, kinds Si 4 Al 8 O 20\n"
            "largest displacement: 0.0177 A (atom 16, O4)\n");
  const std::string text = read_file(dir / "input.txt");
  EXPECT_EQ(text.substr(0, text.find("switches")),
            "7.120000 7.847900 5.573800 89.974000 101.117000 106.000000   cell-initial\n"
            "7.089600 7.817300 5.549700 90.031000 101.098000 105.987000   cell-minimised\n"
            "kyanite\n"
            "5.0000   radius\n"
            "2.2000   bond-limit\n"
            "3        kinds\n"
            "Si       kind-1\n"
            "Al       kind-2\n"
            "O        kind-3\n"
            "1.6348   ref-1\n"
            "1.9100   ref-2\n");
}

TEST(CommandLine, RefusalsAndWarnings) {
  const std::string quartz = (kCif / "quartz_Tucker2001_COD1526860.cif").string();
  const std::string quartz_other = (kCif / "quartz_10.2GPa_Glinnemann1992.cif").string();
  const std::string gout = kRun + ".gout";
  const struct {
    std::vector<std::string> args;
    int status;
    std::string err;  // the whole of standard error, or its first line when it ends in "..."
  } cases[] = {
      {{quartz, quartz_other}, 1,
       "wsphere-input: atom 1 differs: O from " + quartz + " site O1, Si from " + quartz_other +
           " site Si; both states must list the same atoms in the same order\n"},
      {{"/nonexistent/a.cif", quartz}, 1, "wsphere-input: /nonexistent/a.cif: no such file\n"},
      {{quartz}, 1, "wsphere-input: " + quartz + ": a single file must be a printed output of GULP (known by "
                    "its content); otherwise give two files\n"},
      {{quartz, kRun + ".txt"}, 1, "wsphere-input: " + kRun + ".txt: no such file\n"},
      {{gout, "--supercell", "2,2,2"}, 1,
       "wsphere-input: 1488 atoms: wsphere holds at most 1000; use fewer cells in --supercell; wsphere-batch and "
       "wsphere.analyse (Python) take any size\n"},
      {{gout, "--kind", "Si", "--kind", "O=1.6"}, 1,
       "wsphere-input: --kind O=...: the last kind takes no reference distance\n"},
      {{gout, "--kind", "Si", "--kind", "Ge", "--kind", "F", "--kind", "O", "--kind", "H", "--kind", "C",
        "--kind", "N", "--kind", "S", "--kind", "P", "--kind", "B", "--kind", "K"},
       1, "wsphere-input: 11 kinds: wsphere holds at most 10; choose the kinds with --kind\n"},
      {{gout, "--kind", "Ge", "--kind", "F", "--bond-limit", "1.5"}, 1,
       "warning: the Si atoms (Si1 ...) belong to no kind\n"
       "warning: the O atoms (O1 ...) belong to no kind\n"
       "wsphere-input: kind Ge has no neighbour within the bond limit 1.5000 A; give its reference as "
       "--kind Ge=REF\n"},
      {{quartz, quartz, "--kind", "Si", "--kind", "Al", "--kind", "O"}, 1,
       "warning: kind Al holds no atom\n"
       "bond limit: 2.2000 A, chosen from the initial structure: the first shells of kinds 1 and 2 end at up to "
       "1.6161 A, their next neighbours start at 3.0533 A (--bond-limit to choose otherwise)\n"
       "reference Si: 1.6117 A, the mean of 12 distances up to the bond limit in the initial state\n"
       "wsphere-input: kind Al holds no atom to measure a reference distance from; give it as --kind Al=REF\n"},
      {{gout, "--kind", "Si", "--kind", "Ge", "--kind", "Si"}, 1, "wsphere-input: --kind Si is given twice\n"},
      {{gout, "--radius", "-1"}, 2,
       "wsphere-input: --radius: \"-1\" is not a positive number\n(wsphere-input --help tells the usage)\n"},
      {{gout, "--switches", "11"}, 2,
       "wsphere-input: --switches: \"11\" is not ten digits 0 or 1\n(wsphere-input --help tells the usage)\n"},
      {{gout, "--supercell", "2,2"}, 2,
       "wsphere-input: --supercell: \"2,2\" is not three counts NA,NB,NC\n(wsphere-input --help tells the usage)\n"},
      {{gout, "--kind", "S1"}, 2,
       "wsphere-input: --kind: \"S1\" is not a symbol of one or two letters\n(wsphere-input --help tells the usage)\n"},
      {{gout, "--colour"}, 2, "wsphere-input: unknown option --colour\n(wsphere-input --help tells the usage)\n"},
      {{}, 2, "wsphere-input: give one printed output, or an initial and a minimised file\n"
              "(wsphere-input --help tells the usage)\n"},
      {{gout, "--title"}, 2, "wsphere-input: --title needs a value\n(wsphere-input --help tells the usage)\n"},
      {{quartz, quartz}, 0,
       "bond limit: 2.2000 A, chosen from the initial structure: the first shells of kinds 1 and 2 end at up to "
       "1.6161 A, their next neighbours start at 2.6173 A (--bond-limit to choose otherwise)\n"
       "reference Si: 1.6117 A, the mean of 12 distances up to the bond limit in the initial state\n"
       "warning: the sphere radius 5.0000 A is larger than the narrowest width 4.2452 A of the initial cell: "
       "the 3 x 3 x 3 block misses neighbours; use --supercell\n..."},
      {{quartz, quartz, "--kind", "Si", "--kind", "Al=1.745", "--kind", "O", "--radius", "4"}, 0,
       "warning: kind Al holds no atom\n..."},
  };
  for (const auto& c : cases) {
    TempDir dir;
    std::vector<std::string> args = c.args;
    args.insert(args.begin(), {"-o", (dir / "input.txt").string()});
    const Result result = run_in_process(c.args.empty() ? c.args : args);
    EXPECT_EQ(result.status, c.status) << c.err;
    if (c.err.ends_with("...")) {
      EXPECT_EQ(result.err.substr(0, c.err.size() - 3), c.err.substr(0, c.err.size() - 3));
    } else {
      EXPECT_EQ(result.err, c.err);
    }
    EXPECT_EQ(fs::exists(dir / "input.txt"), c.status == 0) << c.err;
  }
}

TEST(CommandLine, ExistingFileIsKeptUnlessForced) {
  TempDir dir;
  write_file(dir / "input.txt", "mine\n");
  const Result refused = run_binary(dir.path(), {kRun + ".gout"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.err, "wsphere-input: input.txt exists; use --force to overwrite it\n");
  EXPECT_EQ(read_file(dir / "input.txt"), "mine\n");
  const Result forced = run_binary(dir.path(), {kRun + ".gout", "--force", "--title=forced"});
  EXPECT_EQ(forced.status, 0);
  EXPECT_EQ(read_file(dir / "input.txt").substr(0, 200).find("\nforced\n") != std::string::npos, true);
}

TEST(CommandLine, HelpGoesToStandardOutput) {
  TempDir dir;
  const Result help = run_binary(dir.path(), {"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out, kUsage);
  EXPECT_EQ(help.err, "");
}

TEST(CommandLine, SupercellFitsASmallCellToTheSphere) {
  TempDir dir;
  const std::string quartz = (kCif / "quartz_Tucker2001_COD1526860.cif").string();
  const Result made = run_in_process({quartz, quartz, "--supercell", "2,2,1", "--radius", "5",
                                      "-o", (dir / "input.txt").string()});
  EXPECT_EQ(made.status, 0);
  EXPECT_EQ(made.err.find("warning"), std::string::npos) << made.err;
  EXPECT_NE(made.err.find(": 36 atoms, cell 9.8038 9.8038 5.3988 "), std::string::npos) << made.err;
  EXPECT_EQ(wsphere::testing::run_wsphere(dir.path()).status, 0);
}

// Two species sharing a site, as in a mixed-occupancy CIF.
TEST(CommandLine, SharedPositionIsReported) {
  TempDir dir;
  write_file(dir / "mixed.cif",
             "data_m\n_cell_length_a 5\n_cell_length_b 5\n_cell_length_c 5\n_cell_angle_alpha 90\n"
             "_cell_angle_beta 90\n_cell_angle_gamma 90\nloop_\n_atom_site_label\n_atom_site_fract_x\n"
             "_atom_site_fract_y\n_atom_site_fract_z\nAl1 0.1 0.2 0.3\nFe1 0.1 0.2 0.3\nO1 0.4 0.2 0.3\n");
  const std::string cif = (dir / "mixed.cif").string();
  const Result made = run_in_process({cif, cif, "-o", (dir / "input.txt").string(), "--radius", "4"});
  EXPECT_EQ(made.status, 0);
  EXPECT_EQ(made.err.substr(0, made.err.find("\nbond limit")),
            "warning: atoms 1 (Al1, site Al1) and 2 (Fe1, site Fe1) of the initial state are 0.0000 A apart: "
            "wsphere does not count them as neighbours of each other");
}

TEST(CommandLine, StatesOfDifferentLengthNameTheFirstUnpairedAtom) {
  TempDir dir;
  const std::string cell = "cell\n5 5 5 90 90 90\nfrac\nNa core 0 0 0\nCl core 0.5 0.5 0.5\n";
  write_file(dir / "a.gin", cell);
  write_file(dir / "b.res", cell + "Cl core 0.5 0 0\n");
  const Result made = run_binary(dir.path(), {"a.gin", "b.res"});
  EXPECT_EQ(made.status, 1);
  EXPECT_EQ(made.err,
            "wsphere-input: the initial state has 2 atoms, the minimised state 3; the first without a "
            "partner is atom 3, Cl from b.res line 6 (Cl)\n");
  EXPECT_FALSE(fs::exists(dir / "input.txt"));
}

// Cut copies of the real run (tests/data/gulp/SOURCES.md): one that GULP
// stopped with its own error, one that did no optimisation.
TEST(CommandLine, RunsWithoutAFinalStructureSayWhy) {
  const std::string failed = (kGulp / "stw-ge-c0002-error.gout").string();
  const std::string single = (kGulp / "stw-ge-c0002-single.gout").string();
  const struct {
    std::vector<std::string> args;
    std::string err;
  } cases[] = {
      {{failed},
       "wsphere-input: " + failed + ", line 508: GULP ended with an error: too many failed attempts to optimise; "
           "Problem in line search\n"},
      {{single},
       "wsphere-input: " + single + ": the run did no optimisation (no 'Start of bulk optimisation'); run GULP "
           "with the keyword optimise, or name the initial and the minimised structure as two files\n"},
      {{kRun + ".gin", failed},
       "wsphere-input: " + failed + ", line 508: GULP ended with an error: too many failed attempts to optimise; "
           "Problem in line search\n"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    const Result result = run_binary(dir.path(), c.args);
    EXPECT_EQ(result.status, 1) << c.err;
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, c.err);
    EXPECT_FALSE(fs::exists(dir / "input.txt"));
  }
}

// Named first, such a run gives its input structure, which is all it is
// asked for.
TEST(CommandLine, RunWithoutAFinalStructureGivesTheInitialState) {
  for (const char* cut : {"stw-ge-c0002-error.gout", "stw-ge-c0002-single.gout"}) {
    TempDir dir;
    const std::string gout = (kGulp / cut).string();
    const std::string res = kRun + ".res";
    const Result made = run_binary(dir.path(), {gout, res});
    EXPECT_EQ(made.status, 0) << cut;
    EXPECT_EQ(made.out, "");
    EXPECT_EQ(made.err,
              "bond limit: 2.2000 A, chosen from the initial structure: the first shells of kinds 1 and 2 end at "
              "up to 1.8711 A, their next neighbours start at 2.5556 A (--bond-limit to choose otherwise)\n"
              "reference Si: 1.6174 A, the mean of 236 distances up to the bond limit in the initial state\n"
              "reference Ge: 1.8133 A, the mean of 5 distances up to the bond limit in the initial state\n"
              "reference F: 1.8711 A, the mean of 1 distance up to the bond limit in the initial state\n"
              "initial: " + gout + ": 186 atoms, cell 11.9417 11.9267 29.4393 89.642 90.147 119.713, kinds Si 59 "
              "Ge 1 F 6 O 120\n"
              "minimised: " + res + ": 186 atoms, cell 11.9417 11.9267 29.4393 89.642 90.147 119.713, kinds Si "
              "59 Ge 1 F 6 O 120\n"
              "largest displacement: 0.0000 A (atom 107, O47)\n");
    EXPECT_EQ(wsphere::testing::run_wsphere(dir.path()).status, 0) << cut;
  }
}

// Fluoride in a cage of the real run: with a bond limit of 1.8 A every Si, Ge
// and O atom has a bond and no F atom has one. F is the third kind, whose
// reference wsphere does not use.
TEST(CommandLine, KindWithoutBondsAfterTheSecondGetsAPlaceholder) {
  TempDir dir;
  const std::string gout = kRun + ".gout";
  const Result made = run_binary(dir.path(), {gout, "--bond-limit", "1.8"});
  EXPECT_EQ(made.status, 0);
  EXPECT_EQ(made.out, "");
  EXPECT_EQ(made.err,
            "reference Si: 1.6174 A, the mean of 236 distances up to the bond limit in the initial state\n"
            "reference Ge: 1.7858 A, the mean of 2 distances up to the bond limit in the initial state\n"
            "warning: kind F has no neighbour within the bond limit 1.8000 A; its reference is set to 0.0000 A, "
            "a placeholder: only the references of kinds 1 and 2 enter the compliance\n"
            "initial: " + gout + ": 186 atoms, cell 11.9417 11.9267 29.4393 89.642 90.147 119.713, kinds Si 59 "
            "Ge 1 F 6 O 120\n"
            "minimised: " + gout + ": 186 atoms, cell 11.9417 11.9267 29.4393 89.642 90.147 119.713, kinds Si 59 "
            "Ge 1 F 6 O 120\n"
            "largest displacement: 0.0000 A (atom 1, Si1)\n");
  const std::string text = read_file(dir / "input.txt");
  EXPECT_NE(text.find("\nF        kind-3\nO        kind-4\n1.6174   ref-1\n1.7858   ref-2\n0.0000   ref-3\n"),
            std::string::npos);
  const auto ran = wsphere::testing::run_wsphere(dir.path());
  EXPECT_EQ(ran.status, 0);
  EXPECT_EQ(ran.err, "");
}

// A small cell by hand: Si-O 1.6 A, O-Al-O 2.0 A, and an F atom at least
// 5.6 A from every other atom. Default kinds Si, Al, F, O.
TEST(CommandLine, IsolatedAtomOfAFirstTwoKindIsRefusedAndOfALaterKindWarned) {
  TempDir dir;
  const std::string atoms = "Si core 0 0 0\nO core 0.2 0 0\nAl core 0.45 0 0\nO core 0.7 0 0\nF core 0.5 0.5 0.5\n";
  write_file(dir / "cage.gin", "opti conp\ncell\n8 8 8 90 90 90\nfrac\n" + atoms);
  const std::string placeholder = "its reference is set to 0.0000 A, a placeholder: only the references of kinds "
                                  "1 and 2 enter the compliance\n";
  const std::string chosen = "bond limit: 2.2000 A, chosen from the initial structure: the first shells of kinds 1 "
                             "and 2 end at up to 2.0000 A, their next neighbours start at 2.4000 A (--bond-limit to "
                             "choose otherwise)\n";
  const std::string chosen_for_si = "bond limit: 2.2000 A, chosen from the initial structure: the first shells of "
                                    "kinds 1 and 2 end at up to 1.6000 A, their next neighbours start at 2.4000 A "
                                    "(--bond-limit to choose otherwise)\n";
  const struct {
    std::vector<std::string> kinds;
    int status;
    std::string err;  // up to the summary lines
  } cases[] = {
      {{},
       0,
       chosen + "reference Si: 1.6000 A, the mean of 1 distance up to the bond limit in the initial state\n"
       "reference Al: 2.0000 A, the mean of 2 distances up to the bond limit in the initial state\n"
       "warning: kind F has no neighbour within the bond limit 2.2000 A; " + placeholder},
      {{"--kind", "Si", "--kind", "Al", "--kind", "F=1.9", "--kind", "O"},
       0,
       chosen + "reference Si: 1.6000 A, the mean of 1 distance up to the bond limit in the initial state\n"
       "reference Al: 2.0000 A, the mean of 2 distances up to the bond limit in the initial state\n"},
      {{"--kind", "Si", "--kind", "Al", "--kind", "Ca", "--kind", "F", "--kind", "O"},
       0,
       "warning: kind Ca holds no atom\n" + chosen +
       "reference Si: 1.6000 A, the mean of 1 distance up to the bond limit in the initial state\n"
       "reference Al: 2.0000 A, the mean of 2 distances up to the bond limit in the initial state\n"
       "warning: kind Ca holds no atom to measure a reference distance from; " + placeholder +
       "warning: kind F has no neighbour within the bond limit 2.2000 A; " + placeholder},
      {{"--kind", "Si", "--kind", "F", "--kind", "Al", "--kind", "O"},
       1,
       chosen_for_si + "reference Si: 1.6000 A, the mean of 1 distance up to the bond limit in the initial state\n"
       "wsphere-input: kind F has no neighbour within the bond limit 2.2000 A; give its reference as "
       "--kind F=REF\n"},
      {{"--kind", "F", "--kind", "Si", "--kind", "O"},
       1,
       "warning: the Al atoms (Al1 ...) belong to no kind\n" + chosen_for_si +
       "wsphere-input: kind F has no neighbour within the bond limit 2.2000 A; give its reference as "
       "--kind F=REF\n"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {"cage.gin", "cage.gin", "--force"};
    args.insert(args.end(), c.kinds.begin(), c.kinds.end());
    fs::remove(dir / "input.txt");
    const Result made = run_binary(dir.path(), args);
    EXPECT_EQ(made.status, c.status) << c.err;
    EXPECT_EQ(made.out, "");
    EXPECT_EQ(made.err.substr(0, made.err.find("initial: ")), c.err);
    EXPECT_EQ(fs::exists(dir / "input.txt"), c.status == 0) << c.err;
  }
}

}  // namespace
}  // namespace wsphere::companion::testing
