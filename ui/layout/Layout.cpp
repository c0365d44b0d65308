#include "ui/layout/Layout.h"

#include <cmath>

namespace keyentry {

int TwipsToPixels(int twips, int dpi) {
  return static_cast<int>(std::floor(static_cast<double>(twips) * dpi / 1440.0 + 0.5));
}

int CentredOrigin(int screenPixels, int windowPixels) {
  const double half = (static_cast<double>(screenPixels) - windowPixels) / 2.0;
  return static_cast<int>(std::floor(half + 0.5));
}

int PointsToFontHeight(int points, int dpi) {
  return -static_cast<int>(std::floor(static_cast<double>(points) * dpi / 72.0 + 0.5));
}

}  // namespace keyentry
