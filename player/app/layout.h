// The main window's layout arithmetic: the player control's size for the video
// and the size choice, the monitor it is measured on, and the client size.
#pragma once

#include <vector>

namespace vortaq {

// Items of CB_MovieSize, by index.
enum class MovieSize { kX1 = 0, kHalf, kX2, kFullScreen, kScreen16, kScreen4, kScreen2 };

struct Box {
  int left = 0, top = 0, width = 0, height = 0;
};

struct Size {
  int width = 0, height = 0;
  bool operator==(const Size&) const = default;
};

// The height that the control's own strip adds below the picture.
constexpr int kControlStripHeight = 146;

// Index of the monitor whose area holds the corner (edges included, the last
// match wins); else the one nearest to it; else primary. -1 without monitors.
int FindMonitor(const std::vector<Box>& monitors, int x, int y, int primary);

// The control's picture size for a W × H video, before the strip is added.
// kFullScreen sizes like kScreen4.
Size PictureSize(MovieSize choice, int w, int h, const Box& monitor);

struct LayoutInput {
  bool hasPicture = false;  // a file is open and the picture size is not 0
  int imageWidth = 0, imageHeight = 0;
  MovieSize choice = MovieSize::kX1;
  Box monitor;
  int controlLeft = 0, controlTop = 0;
  int gbTop = 0, gbWidth = 0, gbHeight = 0;
  bool hideControls = false;
  Size defaultSize{300, 146};
  // The largest client area that keeps the window inside the monitor's
  // working area (0 × 0: no limit). A picture that would not fit is scaled
  // down to it, its aspect kept.
  Size fit;
};

struct LayoutResult {
  Size control;  // the strip included
  int gbLeft = 0;
  Size client;
};

LayoutResult ComputeLayout(const LayoutInput& in);

}  // namespace vortaq
