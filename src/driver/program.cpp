#include "driver/program.hpp"

#include <new>

#include "driver/message_line.hpp"
#include "driver/interrupt.hpp"
#include "driver/memory_units.hpp"
#include "driver/system.hpp"

namespace wsphere {

namespace {

int steps(Run& run) {
  run.read_input();
  run.build_block();
  run.analyse_spheres();
  return run.close_files();
}

}  // namespace

int execute(Run& run, Console& console) {
  try {
    return steps(run);
  } catch (const Fatal& fatal) {
    const std::string path = fatal.unit() > 0 ? run.unit_path(fatal.unit()) : std::string();
    console.write(message_line(fatal.msg(), fatal.unit(), path) + "\n");
    run.close_after_failure();
    return severe_status(fatal.msg());
  } catch (const std::bad_alloc&) {
    // Memory runs out only on input lines of hundreds of megabytes in a
    // process with a memory limit: a severe condition, not a crash.
    console.write(message_line(Msg::out_of_memory, 0, "") + "\n");
    run.close_after_failure();
    return severe_status(Msg::out_of_memory);
  } catch (const MathDomainError&) {
    console.write("\r\nrun-time error M6201: MATH\r\n- sqrt: DOMAIN error\r\n");
    run.close_after_failure();
    return kMathErrorStatus;
  } catch (const Interrupted& interrupt) {
    const auto event = interrupt_event_name(interrupt.event());
    console.write(message_line(Msg::aborting, 0, event) + "\n");
    run.close_after_failure();
    return interrupt_status(interrupt.event());
  }
}

int run_in_directory(const std::filesystem::path& directory, Console& console) {
  auto run = Run::on_directory(directory, console);
  return execute(*run, console);
}

int run_in_working_directory(Console& console) {
  auto run = Run::on_files(full_path("input.txt"), full_path("output.txt"), console);
  return execute(*run, console);
}

MemoryRunResult run_in_memory(std::string_view input, const std::string& directory) {
  MemoryConsole console;
  auto output = std::make_unique<MemoryOutput>(directory + "/output.txt", console);
  const MemoryOutput& report = *output;
  auto run = std::make_unique<Run>(
      std::make_unique<MemoryInput>(std::string(input), directory + "/input.txt"), std::move(output));
  MemoryRunResult result;
  result.status = execute(*run, console);
  result.report = report.report();
  result.messages = console.text();
  return result;
}

}  // namespace wsphere
