// The hot paths allocate nothing: the filtered sphere pass of every centre, and
// a report statement once the writer's line has room. Global operator new is
// replaced in this test program by one that counts.
#include <cstdlib>
#include <memory>
#include <new>
#include <string_view>

#include <gtest/gtest.h>

#include "analysis/sphere_filter.hpp"
#include "textio/report_writer.hpp"

namespace {
thread_local long allocations = 0;
}  // namespace

void* operator new(std::size_t size) {
  ++allocations;
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace wsphere {
namespace {

// Allocations made by `action`.
template <class Action>
long allocations_of(Action&& action) {
  const long before = allocations;
  action();
  return allocations - before;
}

TEST(NoAllocation, FilteredSpherePassOfEveryCentre) {
  struct Structure {
    StructureState state;
    Block block;
  };
  const auto s = std::make_unique<Structure>();
  StructureState& st = s->state;
  st.initial_cell = st.minimised_cell = {20.0f, 20.0f, 20.0f, 90.0f, 90.0f, 90.0f};
  st.sphere_radius = 5.0f;
  st.cell_atom_count = 512;
  for (int i = 1; i <= 512; ++i) {
    const int n = i - 1;
    for (auto* p : {&st.initial_positions, &st.minimised_positions}) {
      p->x(i) = static_cast<float>(n % 8) / 8.0f;
      p->y(i) = static_cast<float>(n / 8 % 8) / 8.0f;
      p->z(i) = static_cast<float>(n / 64) / 8.0f;
    }
  }
  build_block(analysis_input(st), s->block);
  const SphereSetup setup = sphere_setup(analysis_input(st));
  SphereFilter filter(setup, analysis_input(st));
  ASSERT_TRUE(filter.usable());
  long members = 0;
  EXPECT_EQ(allocations_of([&] {
              for (int i = 1; i <= st.cell_atom_count; ++i) {
                filtered_centre_pass(setup, filter, analysis_input(st), i,
                                     [&](const SphereMember&) { ++members; });
              }
            }),
            0);
  EXPECT_GT(members, 0);
}

class NullSink : public textio::WholeLineSink<> {
 public:
  void put_line(std::string_view line) override { bytes += line.size(); }
  void field_overflow() override {}
  std::size_t bytes = 0;
};

TEST(NoAllocation, ReportStatementOnceTheLineHasRoom) {
  NullSink sink;
  textio::ReportWriter writer(sink);
  const textio::Layout layout("5X,I8,3X,A6,3X,3(F8.5,2X),5X,F8.3,5X,E14.4");
  const auto row = [&](float x) {
    writer.write(layout, {27000, std::string_view("Si1   "), x, -x, 1.0f, 3.25f, 1.0e-3f * x});
  };
  row(0.5f);
  EXPECT_EQ(allocations_of([&] {
              for (int k = 0; k < 1000; ++k) row(static_cast<float>(k) * 0.001f);
            }),
            0);
  EXPECT_EQ(sink.bytes, 1001u * 89u);  // 87 columns and CR LF
}

}  // namespace
}  // namespace wsphere
