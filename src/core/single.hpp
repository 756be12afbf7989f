// Rounding a double-precision value to single precision at the points where the
// program stores a real.
//
// A plain static_cast<float> is not enough: g++ 12's SLP vectoriser, on at -O2,
// has been seen to fuse `float(x) * y` into a double multiplication that never
// narrows x (2ac·cos β of an oblique cell came out 13.2052832 instead of
// 13.2052822). The empty asm statement below makes the single-precision value
// an opaque operand that must sit in a single-precision register, so the
// narrowing conversion has to be executed and its result is what every later
// operation reads. No optimisation can see through it, whatever the flags.
#pragma once

namespace wsphere {

[[nodiscard]] inline float round_to_single(double value) {
  float stored = static_cast<float>(value);
#if defined(__GNUC__) && (defined(__x86_64__) || (defined(__i386__) && defined(__SSE_MATH__)))
  asm("" : "+x"(stored));
#elif defined(__GNUC__) && defined(__aarch64__)
  asm("" : "+w"(stored));
#else
  // Elsewhere a volatile store and load: the compiler must produce the float.
  volatile float memory = stored;
  stored = memory;
#endif
  return stored;
}

}  // namespace wsphere
