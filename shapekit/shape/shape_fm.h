// The two exponent/logarithm kernels the level scale needs, computed exactly
// as the shared fast maths does so that every module gets the same numbers.
#pragma once

#include <cstdint>
#include <cstring>
#include <limits>

namespace qw {
namespace shape_fm {

inline uint32_t bitsOf(float x) {
  uint32_t b;
  std::memcpy(&b, &x, sizeof b);
  return b;
}

inline float floatOf(uint32_t b) {
  float x;
  std::memcpy(&x, &b, sizeof x);
  return x;
}

// 2^x for x clamped to [-127, 128] (NaN counts as -127): 0 at -127, infinity at 128.
inline float exp2Acc(float x) {
  x = x > 128.f ? 128.f : (x >= -127.f ? x : -127.f);
  int32_t i = static_cast<int32_t>(x);
  float f = x - static_cast<float>(i);
  if (f < 0.f) {
    f += 1.f;
    i -= 1;
  }
  const float p =
      1.f + f * (0.6931472f +
                 f * (0.24022631f +
                      f * (0.055505503f +
                           f * (0.009613149f + f * (0.0013432892f + f * (0.0001429277f + f * 2.16324e-5f))))));
  return floatOf(static_cast<uint32_t>(static_cast<int64_t>(bitsOf(p)) + static_cast<int64_t>(i) * (1 << 23)));
}

// log2 x; minus infinity for x <= 0.
inline float log2Acc(float x) {
  if (x <= 0.f) return -std::numeric_limits<float>::infinity();
  const uint32_t b = bitsOf(x);
  const float t = floatOf((b & 0x807FFFFFu) | 0x3F000000u) - 0.75f;
  const float n = ((0.5777593f * t + 2.1220846f) * t + 1.0935184f) * t - 0.4150375f;
  const float d = ((0.11851852f * t + 1.0666667f) * t + 2.0f) * t + 1.0f;
  return n / d + static_cast<float>(static_cast<int32_t>((b >> 23) & 255u) - 126);
}

}  // namespace shape_fm
}  // namespace qw
