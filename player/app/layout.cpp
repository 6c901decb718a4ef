#include "layout.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>

namespace vortaq {

namespace {

int64_t DistanceSquared(const Box& b, int x, int y) {
  const int64_t dx = x < b.left ? int64_t{b.left} - x
                     : x > int64_t{b.left} + b.width ? x - (int64_t{b.left} + b.width) : 0;
  const int64_t dy = y < b.top ? int64_t{b.top} - y
                     : y > int64_t{b.top} + b.height ? y - (int64_t{b.top} + b.height) : 0;
  return dx * dx + dy * dy;
}

Size ScaleToScreen(int w, int h, const Box& m, int quarters) {
  // The larger side decides; when they are equal the height does.
  const bool byWidth = w > h;
  const int dimension = byWidth ? m.width : m.height;
  const int target = quarters == 3 ? dimension / 4 * 3 : dimension * quarters / 4;
  const double scale = static_cast<double>(target) / (byWidth ? w : h);
  return {static_cast<int>(w * scale), static_cast<int>(h * scale)};
}

}  // namespace

int FindMonitor(const std::vector<Box>& monitors, int x, int y, int primary) {
  if (monitors.empty()) return -1;
  int found = -1;
  for (size_t i = 0; i < monitors.size(); ++i) {
    const Box& m = monitors[i];
    if (m.left <= x && x <= int64_t{m.left} + m.width && m.top <= y &&
        y <= int64_t{m.top} + m.height)
      found = static_cast<int>(i);
  }
  if (found >= 0) return found;
  // Settings saved on a monitor that is gone: the nearest one that is there.
  int64_t best = std::numeric_limits<int64_t>::max();
  for (size_t i = 0; i < monitors.size(); ++i) {
    const int64_t d = DistanceSquared(monitors[i], x, y);
    if (d < best) best = d, found = static_cast<int>(i);
  }
  if (found >= 0) return found;
  return primary >= 0 && primary < static_cast<int>(monitors.size()) ? primary : 0;
}

Size PictureSize(MovieSize choice, int w, int h, const Box& monitor) {
  switch (choice) {
    case MovieSize::kX1: return {w, h};
    case MovieSize::kHalf: return {w / 2, h / 2};
    case MovieSize::kX2: return {2 * w, 2 * h};
    case MovieSize::kScreen16: return ScaleToScreen(w, h, monitor, 1);
    case MovieSize::kFullScreen:
    case MovieSize::kScreen4: return ScaleToScreen(w, h, monitor, 2);
    case MovieSize::kScreen2: return ScaleToScreen(w, h, monitor, 3);
  }
  return {w, h};
}

LayoutResult ComputeLayout(const LayoutInput& in) {
  LayoutResult r;
  if (in.hasPicture && in.imageWidth > 0 && in.imageHeight > 0) {
    r.control = PictureSize(in.choice, in.imageWidth, in.imageHeight, in.monitor);
    if (in.fit.width > 0 && in.fit.height > 0 && r.control.width > 0 && r.control.height > 0) {
      const int roomW = in.fit.width - in.controlLeft - 8 - (in.hideControls ? 0 : in.gbWidth + 8);
      const int roomH = in.fit.height - in.controlTop - kControlStripHeight - 8;
      const double scale = std::min({1.0, static_cast<double>(std::max(1, roomW)) / r.control.width,
                                     static_cast<double>(std::max(1, roomH)) / r.control.height});
      if (scale < 1.0)
        r.control = {std::max(1, static_cast<int>(r.control.width * scale)),
                     std::max(1, static_cast<int>(r.control.height * scale))};
    }
    r.control.height += kControlStripHeight;
  } else {
    r.control = in.defaultSize;
  }
  r.gbLeft = in.controlLeft + r.control.width + 8;
  if (in.hideControls) {
    r.client = {in.controlLeft + r.control.width + 8, in.controlTop + r.control.height + 8};
  } else {
    r.client.width = r.gbLeft + in.gbWidth + 8;
    r.client.height = r.control.height < in.gbHeight ? in.gbTop + in.gbHeight + 8
                                                     : in.controlTop + r.control.height + 8;
  }
  return r;
}

}  // namespace vortaq
