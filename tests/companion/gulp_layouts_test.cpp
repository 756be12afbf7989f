// GULP's printed outputs in the layouts of its versions and run types: known
// by their content, configurations, centred cells, final cells from each
// table, runs that did not converge, and the runs that give no pair of
// states, each refused with its reason.
#include <gtest/gtest.h>

#include "companion/gulp_files.hpp"
#include "companion/expansion.hpp"
#include "companion_support.hpp"

namespace wsphere::companion::testing {
namespace {

std::string layout(const char* name) { return (kGulp / name).string(); }

std::string edited(const char* name, const std::string& from, const std::string& to) {
  std::string text = read_file(kGulp / name);
  const std::size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

std::string without(const char* name, const std::string& from, const std::string& up_to) {
  std::string text = read_file(kGulp / name);
  const std::size_t begin = text.find(from);
  const std::size_t end = text.find(up_to, begin);
  EXPECT_TRUE(begin != std::string::npos && end != std::string::npos) << from;
  if (begin != std::string::npos && end != std::string::npos) text.erase(begin, end - begin);
  return text;
}

TEST(GulpLayouts, EveryBulkLayoutGivesBothStates) {
  TempDir dir;
  write_file(dir / "primitive-final-cell.out",
             without("fluorite.gout", "  Non-primitive lattice parameters", "  Non-primitive cell volume"));
  const struct {
    std::string path;
    int configuration;
    std::size_t atoms;      // cores in the full cell
    double initial_a, initial_c, final_a, final_c, final_gamma;
    const char* notice;     // start of GULP's notice; "" for a run that converged
  } cases[] = {
      // R -3 c: the full hexagonal cell beside the rhombohedral one, the
      // final cell from the non-primitive table.
      {layout("centred-r3c.got"), 0, 30, 4.7602, 12.9933, 4.8201, 13.0117, 120.0, ""},
      {layout("fluorite.gout"), 0, 12, 5.463, 5.463, 5.4012, 5.4012, 90.0, ""},
      // The final cell printed as the primitive cell only: made full by the
      // centring that joins the two initial cells.
      {(dir / "primitive-final-cell.out").string(), 0, 12, 5.463, 5.463, 5.4012, 5.4012, 90.0, ""},
      {layout("two-configurations.out"), 1, 8, 4.212, 4.212, 4.1938, 4.1938, 90.0, ""},
      {layout("two-configurations.out"), 2, 8, 4.8105, 4.8105, 4.7722, 4.7722, 90.0, ""},
      {layout("bulk-then-defect.gout"), 0, 8, 4.212, 4.212, 4.2031, 4.2031, 90.0, ""},
      // GULP 3, CR LF line ends, a byte that is not UTF-8, shells dropped.
      {layout("shell-model-crlf.gout"), 0, 8, 4.212, 4.212, 4.2237, 4.2237, 90.0, ""},
      {layout("cubic-perovskite.gout"), 0, 5, 3.905, 3.905, 3.9412, 3.9412, 90.0, ""},
      {layout("not-converged.log"), 0, 9, 4.9147, 5.4066, 4.8362, 5.3431, 120.0046,
       "Conditions for a minimum have not been satisfied. However no lower point can be found"},
      {layout("too-many-failed.gout"), 0, 6, 4.5937, 2.9587, 4.6158, 2.9821, 90.0064,
       "Too many failed attempts to optimise"},
  };
  for (const auto& c : cases) {
    const RunStates run = read_gulp_output(c.path, c.configuration);
    const Crystal initial = expand(run.initial);
    const Crystal final = expand(run.final);
    EXPECT_EQ(initial.atoms.size(), c.atoms) << c.path;
    EXPECT_EQ(final.atoms.size(), c.atoms) << c.path;
    EXPECT_NEAR(initial.cell.a, c.initial_a, 5e-5) << c.path;
    EXPECT_NEAR(initial.cell.c, c.initial_c, 5e-5) << c.path;
    EXPECT_NEAR(final.cell.a, c.final_a, 5e-5) << c.path;
    EXPECT_NEAR(final.cell.c, c.final_c, 5e-5) << c.path;
    EXPECT_NEAR(final.cell.gamma, c.final_gamma, 5e-5) << c.path;
    EXPECT_EQ(run.converged, std::string(c.notice).empty()) << c.path;
    EXPECT_TRUE(run.notice.starts_with(c.notice)) << c.path << ": " << run.notice;
    EXPECT_EQ(largest_coordinate_difference(initial.atoms, final.atoms) < 0.1, true) << c.path;
  }
}

// A rhombohedral cell written in its primitive setting ends as its primitive
// cell (the final derivatives table), not as the hexagonal cell that GULP
// prints beside it as "Non-primitive lattice parameters".
TEST(GulpLayouts, RhombohedralSettingKeepsItsPrimitiveCell) {
  std::string text = read_file(kGulp / "centred-r3c.got");
  const std::size_t begin = text.find("  Primitive cell parameters :");
  const std::size_t end = text.find("  Initial volumes", begin);
  ASSERT_NE(end, std::string::npos);
  text.replace(begin, end - begin,
               "  Cell parameters (Angstroms/Degrees):\n\n"
               "  a =       5.1295    alpha =  55.2915\n  b =       5.1295    beta  =  55.2915\n"
               "  c =       5.1295    gamma =  55.2915\n\n");
  TempDir dir;
  write_file(dir / "rhombohedral.got", text);
  const RunStates run = read_gulp_output((dir / "rhombohedral.got").string());
  EXPECT_NEAR(run.initial.cell.alpha, 55.2915, 1e-9);
  EXPECT_NEAR(run.final.cell.a, 5.153232, 1e-9);
  EXPECT_NEAR(run.final.cell.alpha, 55.766661, 1e-9);
}

TEST(GulpLayouts, RunsWithoutAPairOfBulkStatesSayWhy) {
  TempDir dir;
  const struct {
    const char* name;
    std::string text;
    int configuration;
    std::string message;  // after the path
  } cases[] = {
      {"surface.gout", read_file(kGulp / "surface.gout"), 0,
       ": the run is a surface (periodic in two directions); wsphere analyses crystals periodic in three "
       "directions"},
      {"polymer.out", edited("cubic-perovskite.gout", "Dimensionality = 3", "Dimensionality = 1"), 0,
       ": the run is a polymer (periodic in one direction); wsphere analyses crystals periodic in three "
       "directions"},
      {"cluster.out", edited("cubic-perovskite.gout", "Dimensionality = 3", "Dimensionality = 0"), 0,
       ": the run is a cluster (no periodic cell); wsphere analyses crystals periodic in three directions"},
      {"single-point.gout", read_file(kGulp / "single-point.gout"), 0,
       ": the run did no optimisation (no 'Start of bulk optimisation'); run GULP with the keyword optimise, or "
       "name the initial and the minimised structure as two files"},
      {"defect-only.gout", without("bulk-then-defect.gout", "  Start of bulk optimisation", "*  Defect calculation"),
       0, ": the run optimised a defect only, not the bulk; wsphere needs the crystal before and after"},
      {"two.out", read_file(kGulp / "two-configurations.out"), 0,
       ": 2 configurations (1: Mg4O4, 2: Ca4O4); choose one with --configuration N"},
      {"two.out", read_file(kGulp / "two-configurations.out"), 3, ": no configuration 3; the file holds 2 configurations"},
      {"cut.out", without("two-configurations.out", "*  Output for configuration   2", "  Job Finished"), 2,
       ": configuration 2 has no output (no 'Output for configuration 2'): did the run end?"},
  };
  for (const auto& c : cases) {
    const std::string path = (dir / c.name).string();
    write_file(path, c.text);
    EXPECT_EQ(error_of([&] { read_gulp_output(path, c.configuration); }), path + c.message) << c.name;
  }
}

TEST(GulpLayouts, KnownByContentNotByName) {
  const struct {
    std::string head;
    bool output;
  } cases[] = {
      {read_file(kGulp / "centred-r3c.got").substr(0, kHeadBytes), true},
      {read_file(kGulp / "shell-model-crlf.gout").substr(0, 400), true},
      // A file cut before the banner still shows a configuration's header.
      {"*  Input for Configuration =   1  *\n\n  Formula = MgO\n\n  Dimensionality = 3   :  Bulk\n", true},
      {read_file(kGulp / "stw-ge-c0002.gin").substr(0, kHeadBytes), false},
      {read_file(kCif / "quartz_Tucker2001_COD1526860.cif"), false},
      {"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(is_gulp_output(c.head), c.output) << c.head.substr(0, 60);
  EXPECT_EQ(count_configurations(read_file(kGulp / "two-configurations.out")), 2);
  EXPECT_EQ(count_configurations(read_file(kGulp / "fluorite.gout")), 1);
  EXPECT_EQ(count_configurations("no headers"), 1);
}

// Through the command line: any name, a configuration chosen, the warning of
// a run that did not converge, and the file written each time.
TEST(GulpLayouts, CommandLineTakesEveryLayout) {
  const std::string not_converged = "warning: the optimisation did not converge (GULP: \"Too many failed attempts "
                                    "to optimise\"); the minimised state is where it stopped\n";
  const struct {
    std::vector<std::string> args;
    int status;
    std::string err_start;
  } cases[] = {
      {{layout("centred-r3c.got")}, 0, "bond limit: 2.2000 A, chosen from the initial structure"},
      {{layout("two-configurations.out"), "--configuration", "2"}, 0, "bond limit: 2.9100 A"},  // CaO
      {{layout("too-many-failed.gout")}, 0, not_converged},
      {{layout("too-many-failed.gout"), layout("too-many-failed.gout")}, 0, not_converged},
      {{layout("fluorite.gout"), "--bond-limit", "2.4"}, 0, "reference Ca: 2.3655 A"},
      {{layout("two-configurations.out")}, 1, "wsphere-input: " + layout("two-configurations.out") + ": 2 configurations"},
      {{layout("fluorite.gout"), "--configuration", "0"}, 2, "wsphere-input: --configuration: \"0\" is not a number"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    std::vector<std::string> args = c.args;
    args.insert(args.end(), {"-o", (dir / "input.txt").string()});
    const Result made = run_in_process(args);
    EXPECT_EQ(made.status, c.status) << made.err;
    EXPECT_EQ(made.err.substr(0, c.err_start.size()), c.err_start);
    EXPECT_EQ(fs::exists(dir / "input.txt"), c.status == 0);
  }
}

}  // namespace
}  // namespace wsphere::companion::testing
