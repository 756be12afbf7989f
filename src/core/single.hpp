// Rounding a double-precision value to single precision at the points where the
// program stores a real, one value at a time or four side by side.
//
// A plain static_cast<float> is not enough: g++ 12's SLP vectoriser, on at -O2,
// has been seen to fuse `float(x) * y` into a double multiplication that never
// narrows x (2ac·cos β of an oblique cell came out 13.2052832 instead of
// 13.2052822). The empty asm statement below makes the single-precision value
// an opaque operand that must sit in a single-precision register, so the
// narrowing conversion has to be executed and its result is what every later
// operation reads. No optimisation can see through it, whatever the flags.
//
// The functions have internal linkage: a file built for a wider instruction
// set (the lane kernels) gets its own copies, never shared with the rest.
#pragma once

namespace wsphere {

// Makes `stored` (a single or a vector of singles) an opaque value that must
// exist as the compiler produced it.
template <class Singles>
static inline void pin(Singles& stored) {
#if defined(__GNUC__) && (defined(__x86_64__) || (defined(__i386__) && defined(__SSE_MATH__)))
  asm("" : "+x"(stored));
#elif defined(__GNUC__) && defined(__aarch64__)
  asm("" : "+w"(stored));
#else
  // Elsewhere a volatile store and load: the compiler must produce the value.
  volatile Singles memory = stored;
  stored = memory;
#endif
}

[[nodiscard]] static inline float round_to_single(double value) {
  float stored = static_cast<float>(value);
  pin(stored);
  return stored;
}

// The single-precision sum and product of two singles, pinned as a rounded
// value is: equal to round_to_single(double(a) + b) and round_to_single(
// double(a) * b), because a double carries more than twice a single's digits,
// so that rounding the exact result first to double and then to single is
// rounding it once.
[[nodiscard]] static inline float add_singles(float a, float b) {
  float sum = a + b;
  pin(sum);
  return sum;
}

[[nodiscard]] static inline float multiply_singles(float a, float b) {
  float product = a * b;
  pin(product);
  return product;
}

// Four lanes of singles and of doubles (GCC and clang vector extensions).
typedef float Singles4 __attribute__((vector_size(16)));
typedef double Doubles4 __attribute__((vector_size(32)));

// Each lane rounded as round_to_single rounds one value.
[[nodiscard]] static inline Singles4 round_to_single(Doubles4 values) {
  Singles4 stored = __builtin_convertvector(values, Singles4);
  pin(stored);
  return stored;
}

}  // namespace wsphere
