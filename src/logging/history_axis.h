#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvane {

// One tick of the Correction History's time axis: a round local date or time and its label.
struct AxisTick {
  int64_t time = 0;  // Unix seconds; before 1970 too
  std::string label;
};

// The gap kept free between neighbouring labels, in pixels.
inline constexpr int kAxisLabelGap = 12;

// Ticks at round local dates or times in [from, to] on an axis `pixels` wide: the finest
// step of minutes, hours, days, months, quarters, years, decades or centuries whose labels,
// centred on their ticks and `labelWidth` pixels wide, keep kAxisLabelGap between them.
// Empty when not even the coarsest step fits.
std::vector<AxisTick> DateAxisTicks(int64_t from, int64_t to, int pixels,
                                    const std::function<int(std::string_view)>& labelWidth);

}  // namespace quorvane
