// Fuzz target: a whole run on arbitrary input bytes. Any crash, sanitizer
// report or broken report rule aborts: every report line must end in CR LF and
// hold no other line feed, no line may be longer than the widest layout, and
// the messages must agree with the exit status.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <regex>
#include <string>
#include <string_view>

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

class CheckingOutput : public OutputUnit {
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

void check_messages(const std::string& messages, int status) {
  static const std::regex line_form(R"(runerr: (severe|error) \((\d+)\): [^\n]*\n)");
  static const std::string math = "\r\nrun-time error M6201: MATH\r\n- sqrt: DOMAIN error\r\n";
  std::string rest = messages;
  if (status == 3) {
    if (rest.size() < math.size() || rest.substr(rest.size() - math.size()) != math) {
      broken("math error without its lines", messages);
    }
    rest.resize(rest.size() - math.size());
  }
  std::smatch match;
  int last = 0;
  while (!rest.empty()) {
    if (!std::regex_search(rest, match, line_form, std::regex_constants::match_continuous)) {
      broken("malformed message", messages);
    }
    last = std::stoi(match[2]);
    if (last != 63 && match[1] != "severe") broken("wrong severity", messages);
    rest = match.suffix();
  }
  const bool quiet_end = last == 0 || last == 63;
  if ((status == 0 || status == 3) != quiet_end) broken("status and messages disagree", messages);
  if (status != 0 && status != 3 && last != status) broken("status is not the message", messages);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  MemoryConsole console;
  Run run(std::make_unique<MemoryInput>(std::string(reinterpret_cast<const char*>(data), size),
                                        "/fuzz/input.txt"),
          std::make_unique<CheckingOutput>(console));
  try {
    check_messages(console.text(), execute(run, console));
  } catch (const BudgetSpent&) {
    // Long enough: the rest of such a report repeats the kinds of lines seen.
  }
  return 0;
}
