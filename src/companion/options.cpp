#include "companion/options.hpp"

#include <cctype>
#include <functional>
#include <map>

#include "companion/text_scan.hpp"

namespace wsphere::companion {

const char* const kUsage =
    "usage: wsphere-input [options] RUN\n"
    "       wsphere-input [options] INITIAL MINIMISED\n"
    "\n"
    "Writes an input file for wsphere from the structure before and after a\n"
    "minimisation: one printed output of GULP (known by its content, whatever\n"
    "its name: .gout, .got, .out, .log ...) gives both states; otherwise give\n"
    "two files, each a .gin, .res, .cif or printed output (an output gives its\n"
    "initial state when named first, its final state when named second).\n"
    "\n"
    "options:\n"
    "  -o FILE              file to write (default input.txt)\n"
    "  --force              overwrite FILE when it exists\n"
    "  --radius R           sphere radius in Angstrom (default 5.0)\n"
    "  --bond-limit L       bond limit in Angstrom (default: chosen from the\n"
    "                       initial structure, past the first coordination shell\n"
    "                       of the atoms of kinds 1 and 2 and short of the second;\n"
    "                       2.2 whenever that selects the same bonds)\n"
    "  --kind SYMBOL[=REF]  one kind, repeated in kind order; REF is its reference\n"
    "                       bond length (default: the mean bonded distance of the\n"
    "                       kind in the initial state; the last kind has none).\n"
    "                       Default kinds: the elements present, two-letter ones\n"
    "                       first, a one-letter element last\n"
    "  --switches DIGITS    ten report switches, 0 or 1 (default 0000001111)\n"
    "  --supercell NA,NB,NC repeat both cells NA x NB x NC times\n"
    "  --title TEXT         title line of the input file\n"
    "  --configuration N    the configuration to read from an output of several\n"
    "  --help               this text\n";

namespace {

double positive_number(const std::string& option, const std::string& text) {
  double value = 0.0;
  if (!parse_number(text, value) || !(value > 0.0)) {
    throw UsageError(option + ": \"" + text + "\" is not a positive number");
  }
  return value;
}

KindChoice kind_choice(const std::string& text) {
  const std::size_t equals = text.find('=');
  KindChoice choice{text.substr(0, equals), std::nullopt};
  const std::string& symbol = choice.symbol;
  const bool letters = !symbol.empty() && symbol.size() <= 2 &&
                       std::isalpha(static_cast<unsigned char>(symbol[0])) &&
                       (symbol.size() == 1 || std::isalpha(static_cast<unsigned char>(symbol[1])));
  if (!letters) throw UsageError("--kind: \"" + symbol + "\" is not a symbol of one or two letters");
  const std::string element = element_of_label(symbol);
  if (element.size() == symbol.size()) choice.symbol = element;  // "SI" -> "Si"
  if (equals != std::string::npos) choice.reference = positive_number("--kind", text.substr(equals + 1));
  return choice;
}

std::array<int, 3> supercell(const std::string& text) {
  std::array<int, 3> n{};
  std::size_t start = 0;
  for (int k = 0; k < 3; ++k) {
    const std::size_t comma = k < 2 ? text.find(',', start) : text.size();
    const std::string part = comma == std::string::npos ? "" : text.substr(start, comma - start);
    const bool digits = !part.empty() && part.size() <= 2 &&
                        part.find_first_not_of("0123456789") == std::string::npos;
    if (!digits || std::stoi(part) < 1 || (k == 2 && text.find(',', start) != std::string::npos)) {
      throw UsageError("--supercell: \"" + text + "\" is not three counts NA,NB,NC");
    }
    n[static_cast<std::size_t>(k)] = std::stoi(part);
    start = comma + 1;
  }
  return n;
}

int configuration(const std::string& text) {
  const bool digits = !text.empty() && text.size() <= 6 && text.find_first_not_of("0123456789") == std::string::npos;
  if (!digits || std::stoi(text) < 1) throw UsageError("--configuration: \"" + text + "\" is not a number from 1");
  return std::stoi(text);
}

std::string switches(const std::string& text) {
  if (text.size() != 10 || text.find_first_not_of("01") != std::string::npos) {
    throw UsageError("--switches: \"" + text + "\" is not ten digits 0 or 1");
  }
  return text;
}

std::string title(const std::string& text) {
  if (trim(text).empty() || text.find_first_of("\r\n") != std::string::npos) {
    throw UsageError("--title: the title must be one line that is not blank");
  }
  return text;
}

}  // namespace

Options parse_options(const std::vector<std::string>& args) {
  Options options;
  using Setter = std::function<void(const std::string&)>;
  const std::map<std::string, Setter> with_value = {
      {"-o", [&](const std::string& v) { options.output = v; }},
      {"--radius", [&](const std::string& v) { options.radius = positive_number("--radius", v); }},
      {"--bond-limit", [&](const std::string& v) { options.bond_limit = positive_number("--bond-limit", v); }},
      {"--kind", [&](const std::string& v) { options.kinds.push_back(kind_choice(v)); }},
      {"--switches", [&](const std::string& v) { options.switches = switches(v); }},
      {"--supercell", [&](const std::string& v) { options.supercell = supercell(v); }},
      {"--title", [&](const std::string& v) { options.title = title(v); }},
      {"--configuration", [&](const std::string& v) { options.configuration = configuration(v); }},
  };
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const std::size_t equals = arg.find('=');
    const std::string name = arg.starts_with("--") ? arg.substr(0, equals) : arg;
    if (const auto setter = with_value.find(name); setter != with_value.end()) {
      if (equals != std::string::npos && arg.starts_with("--")) {
        setter->second(arg.substr(equals + 1));
      } else if (i + 1 < args.size()) {
        setter->second(args[++i]);
      } else {
        throw UsageError(name + " needs a value");
      }
    } else if (arg == "--force") {
      options.force = true;
    } else if (arg == "--help" || arg == "-h") {
      options.help = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      throw UsageError("unknown option " + arg);
    } else {
      options.inputs.push_back(arg);
    }
  }
  if (!options.help && (options.inputs.empty() || options.inputs.size() > 2)) {
    throw UsageError("give one printed output, or an initial and a minimised file");
  }
  return options;
}

}  // namespace wsphere::companion
