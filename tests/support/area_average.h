// The area average, as plain as it can be said, for tests of every smooth reduction: target
// pixel (dx, dy) of a W x H target covers [dx*w/W, (dx+1)*w/W) x [dy*h/H, (dy+1)*h/H) of the
// w x h source. Scaled by W (H), source pixel sx spans [sx*W, (sx+1)*W) and the footprint
// [dx*w, (dx+1)*w), so every overlap is a whole number and the weights add up to w*h.
// Channels are rounded to nearest, halves up.
#pragma once

#include <algorithm>
#include <cstdint>

namespace test_support {

inline std::int64_t Overlap(std::int64_t a0, std::int64_t a1, std::int64_t b0, std::int64_t b1) {
  const std::int64_t lo = std::max(a0, b0);
  const std::int64_t hi = std::min(a1, b1);
  return hi > lo ? hi - lo : 0;
}

// color(sx, sy) gives the source pixel as any struct with r, g, b; the result is the same kind.
template <typename Color, typename SourceColor>
Color AreaAverage(SourceColor&& color, int w, int h, int W, int H, int dx, int dy) {
  std::int64_t sum[3] = {0, 0, 0};
  for (int sy = 0; sy < h; ++sy) {
    const std::int64_t oy = Overlap(std::int64_t(sy) * H, std::int64_t(sy + 1) * H,
                                    std::int64_t(dy) * h, std::int64_t(dy + 1) * h);
    if (oy == 0) continue;
    for (int sx = 0; sx < w; ++sx) {
      const std::int64_t ox = Overlap(std::int64_t(sx) * W, std::int64_t(sx + 1) * W,
                                      std::int64_t(dx) * w, std::int64_t(dx + 1) * w);
      if (ox == 0) continue;
      const Color c = color(sx, sy);
      sum[0] += std::int64_t(c.r) * ox * oy;
      sum[1] += std::int64_t(c.g) * ox * oy;
      sum[2] += std::int64_t(c.b) * ox * oy;
    }
  }
  const std::int64_t total = std::int64_t(w) * h;  // the weights of one footprint
  using Channel = decltype(Color{}.r);
  auto round = [&](std::int64_t s) { return Channel((2 * s + total) / (2 * total)); };
  return Color{round(sum[0]), round(sum[1]), round(sum[2])};
}

}  // namespace test_support
