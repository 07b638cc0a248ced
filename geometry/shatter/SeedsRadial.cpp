#include <algorithm>
#include <cmath>
#include <cstdint>

#include "geometry/PointInsideMesh.h"
#include "geometry/shatter/SeedFrame.h"
#include "geometry/shatter/SeedPoints.h"
#include "math/MgcMath.h"
#include "platform/ModuleState.h"

// The radial pattern: concentric rings of points around the centre in a
// plane of the mesh's box, like the cracks around a hit in a pane.

using Mgc::MgcVector3;
using zov::seeds::SeedCallCounter;
using zov::seeds::SeedFrame;

namespace {

SeedCallCounter radialCalls;
const zov::platform::ModuleStateReset g_radialCallsReset([] { radialCalls.reset(); });

// Places the points of one ring pass.
class RingPlacer {
 public:
  RingPlacer(const SeedFrame& frame, const MgcVector3& centre, double jitter, std::uint32_t perRing, MgcVector3* out)
      : frame_(frame), centre_(centre), jitter_(jitter), perRing_(perRing), step_(2.0 / perRing), out_(out) {}

  // perRing points around the ring of radius `base` in the plane (u, v). The
  // angle advances by one step per draw, starting one step past `angle`; each
  // draw's jitter turns the point by `turn` times it and moves it out by
  // `depth` times it. A point outside the hull is drawn again at the next
  // angle, but the perRing-th miss in a row is kept, brought into the hull.
  void pass(double base, double angle, double turn, double depth, const MgcVector3& u, const MgcVector3& v) {
    for (std::uint32_t i = 0; i < perRing_; ++i) {
      std::uint32_t misses = 0;
      for (;;) {
        const double rho = Mgc::Math::SymmetricRandom(0.0) * jitter_;
        angle += step_;
        const double theta = Mgc::Math::PI * (turn * rho + angle);
        const double r = base + depth * rho;
        MgcVector3 p = centre_ + u * (std::cos(theta) * r) + v * (std::sin(theta) * r);
        if (frame_.inHull(p)) {
          out_[made_++] = p;
          break;
        }
        if (++misses == perRing_) {
          makePointInsideMesh(frame_.hull(), p, zov::seeds::kCentreMargin, false);
          out_[made_++] = p;
          break;
        }
      }
    }
  }

  double step() const { return step_; }
  std::uint32_t made() const { return made_; }

 private:
  const SeedFrame& frame_;
  MgcVector3 centre_;
  double jitter_;
  std::uint32_t perRing_;
  double step_;
  MgcVector3* out_;
  std::uint32_t made_ = 0;
};

}  // namespace

bool seedsRadial(const zov_shatter_params& params, const ZOV_DFmesh* mesh, std::uint32_t& made) {
  made = 0;
  const std::uint32_t calls = radialCalls.next();
  if (mesh == nullptr || params.outPoints == nullptr) return false;
  SeedFrame frame;
  if (!frame.build(*mesh) || !frame.hasVolume(1.0)) return false;
  zov::seeds::reseedSequence(params.seed, calls);

  const std::uint32_t rings = std::max<std::uint32_t>(params.numRings, 1);
  const std::uint32_t perRing = params.numShards / rings;
  if (perRing == 0) return true;

  // The rings lie across the held axis; their spacing divides the smaller
  // of the two other half extents among the rings.
  const ZOVbox& box = frame.box();
  const MgcVector3 x = box.axes.GetColumn(0);
  const MgcVector3 y = box.axes.GetColumn(1);
  const MgcVector3 z = box.axes.GetColumn(2);
  const MgcVector3& e = box.extents;
  // Held z: rings in (x, y). Held x: the first ring in (y, z), the others
  // in (z, y), turning the other way. Held y: rings in (x, z).
  MgcVector3 firstU = x;
  MgcVector3 firstV = y;
  double spacing = std::min(e.x, e.y);
  if (params.radialAxis == 0) {
    firstU = y;
    firstV = z;
    spacing = std::min(e.z, e.y);
  } else if (params.radialAxis == 1) {
    firstV = z;
    spacing = std::min(e.x, e.z);
  }
  const MgcVector3 u = params.radialAxis == 0 ? firstV : firstU;
  const MgcVector3 v = params.radialAxis == 0 ? firstU : firstV;
  spacing = spacing / rings * params.noise;

  MgcVector3 centre = params.center;
  frame.bringCentreInside(centre);

  RingPlacer placer(frame, centre, params.radius, perRing, params.outPoints);
  const double a = placer.step();
  double base = spacing;
  placer.pass(base, a, a, spacing, firstU, firstV);
  for (std::uint32_t ring = 3; ring < rings; ++ring) {
    base += spacing;
    placer.pass(base, a, a / 2, spacing / 2, u, v);
  }
  // The outermost radius carries two passes, the second turned by half a step.
  if (rings >= 3) {
    base += spacing;
    placer.pass(base, a, a / 2, spacing / 2, u, v);
    placer.pass(base, a / 2, a / 2, spacing / 2, u, v);
  } else if (rings == 2) {
    placer.pass(base, a / 2, a / 2, spacing / 2, u, v);
  }
  made = placer.made();
  return true;
}
