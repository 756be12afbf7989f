// The program's entry: runs the four steps of a run and turns any failure into
// its message line and exit status.
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>

#include "driver/condition.hpp"
#include "driver/interrupt.hpp"
#include "driver/run.hpp"

namespace {

using wsphere::Run;

std::filesystem::path working_directory() {
  std::string buffer(4096, '\0');
  while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) return {};
    buffer.resize(buffer.size() * 2);
  }
  return std::filesystem::path(buffer.c_str());
}

constexpr int kMathErrorStatus = 3;
constexpr int kSignalStatusBase = 128;

int MAIN() {
  wsphere::install_interrupt_handlers();
  auto run = std::make_unique<Run>(working_directory());
  try {
    run->OPEN_READ();
    run->RAZMNOJENIE();
    run->KALMIR();
    return run->CLOSE_STOP();
  } catch (const wsphere::Fatal& fatal) {
    const std::string path = fatal.unit() > 0 ? run->unit_path(fatal.unit()) : std::string();
    wsphere::write_stderr(wsphere::message_line(fatal.msg(), fatal.unit(), path) + "\n");
    run->close_after_failure();
    return static_cast<int>(fatal.msg());
  } catch (const wsphere::MathDomainError&) {
    wsphere::write_stderr("\r\nrun-time error M6201: MATH\r\n- sqrt: DOMAIN error\r\n");
    run->close_after_failure();
    return kMathErrorStatus;
  } catch (const wsphere::Interrupted& interrupt) {
    const auto event = wsphere::interrupt_event_name(interrupt.signal());
    wsphere::write_stderr(wsphere::message_line(wsphere::Msg::aborting, 0, event) + "\n");
    run->close_after_failure();
    return kSignalStatusBase + interrupt.signal();
  }
}

}  // namespace

int main() { return MAIN(); }
