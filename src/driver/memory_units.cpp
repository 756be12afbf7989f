#include "driver/memory_units.hpp"

#include "driver/message_line.hpp"

namespace wsphere {

void MemoryOutput::field_overflow() {
  console_.write(message_line(Msg::output_conversion, 2, path_) + "\n");
}

}  // namespace wsphere
