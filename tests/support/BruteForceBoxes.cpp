#include "support/BruteForceBoxes.h"

#include <algorithm>
#include <cmath>

using Mgc::MgcVector3;

namespace zovtest {

bool segmentMeetsBox(const MgcVector3& a, const MgcVector3& b, const ZOVbox& box) {
  double enter = 0.0;
  double leave = 1.0;
  for (int i = 0; i < 3; ++i) {
    const MgcVector3 axis = box.axes.GetColumn(i);
    const double start = (a - box.center).Dot(axis);
    const double step = (b - a).Dot(axis);
    const double half = box.extents[i];
    if (std::fabs(step) < 1e-300) {
      if (start < -half || start > half) return false;
      continue;
    }
    double t0 = (-half - start) / step;
    double t1 = (half - start) / step;
    if (t0 > t1) std::swap(t0, t1);
    enter = std::max(enter, t0);
    leave = std::min(leave, t1);
    if (enter > leave) return false;
  }
  return true;
}

void boxCorners(const ZOVbox& box, MgcVector3 corners[8]) {
  for (int k = 0; k < 8; ++k) {
    MgcVector3 corner = box.center;
    for (int i = 0; i < 3; ++i) {
      const double sign = ((k >> i) & 1) ? 1.0 : -1.0;
      corner += box.axes.GetColumn(i) * (sign * box.extents[i]);
    }
    corners[k] = corner;
  }
}

namespace {

bool edgesMeet(const ZOVbox& edgesOf, const ZOVbox& solid) {
  MgcVector3 corners[8];
  boxCorners(edgesOf, corners);
  // Corners k and k ^ (1 << i) differ along axis i: the twelve edges.
  for (int k = 0; k < 8; ++k)
    for (int i = 0; i < 3; ++i) {
      const int other = k ^ (1 << i);
      if (other > k && segmentMeetsBox(corners[k], corners[other], solid)) return true;
    }
  return false;
}

}  // namespace

bool boxesMeet(const ZOVbox& a, const ZOVbox& b) { return edgesMeet(a, b) || edgesMeet(b, a); }

}  // namespace zovtest
