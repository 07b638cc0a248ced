#pragma once

// Piles of unit boxes, shifted and turned at random, as the pile benchmark
// and the pile scene tests play them.

#include <random>
#include <vector>

#include "math/MgcVector3.h"

namespace zovtest {

/// A box to place: its centre and its turn (axis and angle).
struct BoxPlacement {
  Mgc::MgcVector3 centre;
  Mgc::MgcVector3 axis{0.0, 1.0, 0.0};
  double angle = 0.0;
};

/// The seed of the pile benchmark's pile.
constexpr unsigned kBenchmarkPileSeed = 12345;

/// side^3 unit boxes in a grid 1.2 apart, the lowest layer 0.1 above the
/// ground, each moved by up to 0.05 along each axis and turned by up to 0.1
/// about a random axis, drawn from `seed`; in layer, row, column order.
inline std::vector<BoxPlacement> turnedPile(int side, unsigned seed) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> offset(-0.05, 0.05);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  std::uniform_real_distribution<double> turn(-0.1, 0.1);
  std::vector<BoxPlacement> boxes;
  for (int y = 0; y < side; ++y) {
    for (int z = 0; z < side; ++z) {
      for (int x = 0; x < side; ++x) {
        BoxPlacement box;
        box.centre =
            Mgc::MgcVector3(1.2 * x + offset(random), 0.6 + 1.2 * y + offset(random), 1.2 * z + offset(random));
        box.axis = Mgc::MgcVector3(unit(random), unit(random), unit(random));
        if (box.axis.Unitize(1e-6) == 0.0) box.axis = Mgc::MgcVector3(0.0, 1.0, 0.0);
        box.angle = turn(random);
        boxes.push_back(box);
      }
    }
  }
  return boxes;
}

}  // namespace zovtest
