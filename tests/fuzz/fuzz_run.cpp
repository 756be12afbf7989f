// Fuzz target: a whole run on arbitrary input bytes. Any crash, sanitizer
// report or broken report rule aborts: every report line must end in CR LF and
// hold no other line feed, no line may be longer than the widest layout, and
// the messages must agree with the exit status. A finished run's neighbour
// pass is also checked against the full scan of every candidate.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "analysis/sphere_filter.hpp"
#include "analysis/sphere_pass.hpp"
#include "driver/memory_units.hpp"
#include "driver/program.hpp"
#include "driver/run.hpp"

namespace {

using namespace wsphere;

// No report line of the program is wider than this.
constexpr std::size_t kWidestLine = 120;
// A legitimate report can reach gigabytes (a thousand atoms, a huge sphere);
// the check stops a run after this many lines, which is plenty to cover every
// kind of line.
constexpr std::size_t kLineBudget = 200'000;

struct BudgetSpent {};

[[noreturn]] void broken(const char* rule, std::string_view text) {
  std::fprintf(stderr, "broken report rule: %s\n[%.*s]\n", rule, static_cast<int>(text.size()),
               text.data());
  std::abort();
}

class CheckingOutput : public textio::WholeLineSink<OutputUnit> {
 public:
  explicit CheckingOutput(Console& console) : console_(console) {}
  void open() override {}
  void put_line(std::string_view line) override {
    if (line.size() < 2 || line.substr(line.size() - 2) != "\r\n") broken("no CR LF", line);
    if (line.find('\n') != line.size() - 1) broken("line feed inside a line", line);
    if (line.size() - 2 > kWidestLine) broken("line too wide", line);
    if (++lines_ > kLineBudget) throw BudgetSpent{};
  }
  void field_overflow() override { console_.write("runerr: error (63): output conversion error\n"); }
  void close() override {}
  void close_quietly() noexcept override {}
  const std::string& path() const override { return path_; }

 private:
  Console& console_;
  std::string path_ = "/fuzz/output.txt";
  std::size_t lines_ = 0;
};

// The message number of one line "runerr: severe (n): ...", or -1 when the
// line has another form.
int message_number(std::string_view line) {
  for (std::string_view prefix : {"runerr: severe (", "runerr: error ("}) {
    if (line.substr(0, prefix.size()) != prefix) continue;
    line.remove_prefix(prefix.size());
    const std::size_t close = line.find("): ");
    if (close == 0 || close == std::string_view::npos || close > 3) return -1;
    int number = 0;
    for (char digit : line.substr(0, close)) {
      if (digit < '0' || digit > '9') return -1;
      number = number * 10 + (digit - '0');
    }
    const bool severe = prefix[8] == 's';
    return severe == (number != 63) ? number : -1;
  }
  return -1;
}

void check_messages(const std::string& messages, int status) {
  static const std::string math = "\r\nrun-time error M6201: MATH\r\n- sqrt: DOMAIN error\r\n";
  std::string_view rest = messages;
  if (status == 3) {
    if (rest.size() < math.size() || rest.substr(rest.size() - math.size()) != math) {
      broken("math error without its lines", messages);
    }
    rest.remove_suffix(math.size());
  }
  int last = 0;
  while (!rest.empty()) {
    const std::size_t end = rest.find('\n');
    if (end == std::string_view::npos) broken("message without line end", messages);
    last = message_number(rest.substr(0, end));
    if (last < 0) broken("malformed message", messages);
    rest.remove_prefix(end + 1);
  }
  const bool quiet_end = last == 0 || last == 63;
  if ((status == 0 || status == 3) != quiet_end) broken("status and messages disagree", messages);
  if (status != 0 && status != 3 && last != status) broken("status is not the message", messages);
}

// The filtered neighbour pass against the full scan, centre by centre: the same
// members in the same order with the same bits.
void check_filter(const Run& run) {
  const StructureState& state = run.state();
  const SphereSetup setup = sphere_setup(analysis_input(state));
  SphereFilter filter(setup, analysis_input(state));
  if (!filter.usable()) return;
  std::vector<SphereMember> full;
  std::vector<SphereMember> filtered;
  for (int i = 1; i <= state.cell_atom_count; ++i) {
    full.clear();
    filtered.clear();
    centre_pass(setup, analysis_input(state), i, [&](const SphereMember& m) { full.push_back(m); });
    filtered_centre_pass(setup, filter, analysis_input(state), i,
                         [&](const SphereMember& m) { filtered.push_back(m); });
    const auto same = [](const SphereMember& a, const SphereMember& b) {
      return a.block_atom == b.block_atom &&
             std::memcmp(&a.minimised_distance, &b.minimised_distance, sizeof(float)) == 0 &&
             std::memcmp(&a.distance_change, &b.distance_change, sizeof(float)) == 0;
    };
    if (!std::equal(full.begin(), full.end(), filtered.begin(), filtered.end(), same)) {
      broken("filtered pass differs from the full scan", "");
    }
  }
}

}  // namespace

// A run holds the whole block, megabytes, too much for the stack: each input's
// run is made in the same storage, whose pages stay mapped between inputs
// (fresh heap pages for every input cost more than the run itself).
class RunInPlace {
 public:
  template <class... Units>
  explicit RunInPlace(Units&&... units)
      : run_(::new (static_cast<void*>(storage_)) Run(std::forward<Units>(units)...)) {}
  RunInPlace(const RunInPlace&) = delete;
  RunInPlace& operator=(const RunInPlace&) = delete;
  ~RunInPlace() { run_->~Run(); }
  Run& operator*() const { return *run_; }
  Run* operator->() const { return run_; }

 private:
  alignas(Run) static inline std::byte storage_[sizeof(Run)];
  Run* run_;
};

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  MemoryConsole console;
  const RunInPlace run(
      std::make_unique<MemoryInput>(std::string(reinterpret_cast<const char*>(data), size),
                                    "/fuzz/input.txt"),
      std::make_unique<CheckingOutput>(console));
  try {
    const int status = execute(*run, console);
    check_messages(console.text(), status);
    if (status == 0) check_filter(*run);
  } catch (const BudgetSpent&) {
    // Long enough: the rest of such a report repeats the kinds of lines seen.
  }
  return 0;
}
