#include "geometry/BCapsule.h"

#include <new>

#include "geometry/MeshTransforms.h"
#include "geometry/VolumeMath.h"
#include "math/Tolerances.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;

namespace {

constexpr std::uint32_t kCapsulePoints = 4;

ZOVcapsule transformedCapsule(const ZOVcapsule& capsule, const MgcVector3& center, const MgcMatrix3& R,
                              const MgcVector3& s) {
  const double factor = zov::largestScale(s);
  return ZOVcapsule{center, R * capsule.axis, capsule.length * factor, capsule.radius * factor};
}

}  // namespace

BCapsule::BCapsule(ZOVcapsule* capsule) : capsule_(capsule) { updateFrame(); }

BCapsule::~BCapsule() { deleteCap(); }

bool BCapsule::createCap() { return capsule_.create(); }

void BCapsule::deleteCap() { capsule_.release(); }

bool BCapsule::init(const ZOVcapsule& source) {
  if (!capsule_.assign(source)) return false;
  updateFrame();
  return true;
}

void BCapsule::updateFrame() {
  if (capsule_ == nullptr) return;
  const MgcVector3& axis = capsule_->axis;
  if (axis.SquaredLength() > zov::kTolerance) {
    generateOrthonormalBasis(axis, u_, w_);
  } else {
    // A capsule without a direction (a sphere) has no frame to complete.
    u_ = axis;
    w_ = axis;
  }
}

MgcVector3 BCapsule::getCenter() const { return capsule_ != nullptr ? capsule_->center : MgcVector3::ZERO; }

void BCapsule::setCenter(const MgcVector3& center) {
  if (capsule_ != nullptr) capsule_->center = center;
}

void BCapsule::translate(const MgcVector3& t) {
  if (capsule_ != nullptr) capsule_->center += t;
}

MgcVector3 BCapsule::getAxis(int i) const {
  if (i == 0) return u_;
  if (i == 1) return w_;
  return capsule_ != nullptr ? capsule_->axis : MgcVector3::ZERO;
}

double BCapsule::getRadio() const { return capsule_ != nullptr ? 0.5 * capsule_->length + capsule_->radius : 0.0; }

double BCapsule::getVolumen() const {
  if (capsule_ == nullptr) return 0.0;
  return 4.0 * capsule_->length * capsule_->radius * capsule_->radius;
}

double BCapsule::getSize() const { return capsule_ != nullptr ? capsule_->length : 0.0; }

std::uint32_t BCapsule::computeVertexes(MgcVector3* out) const {
  if (capsule_ == nullptr || out == nullptr) return 0;
  const ZOVcapsule& c = *capsule_;
  const MgcVector3 tip = c.axis * (0.5 * c.length + c.radius);
  out[0] = c.center - tip;
  out[1] = c.center + tip;
  out[2] = c.center + u_ * c.radius;
  out[3] = c.center + w_ * c.radius;
  return kCapsulePoints;
}

void BCapsule::transformSRT(const MgcVector3& t, const MgcMatrix3& R, const MgcVector3& s, BCapsule& out) const {
  if (capsule_ == nullptr) return;
  out.init(transformedCapsule(*capsule_, R * zov::scaledBy(s, capsule_->center) + t, R, s));
}

void BCapsule::transformTRS(const MgcVector3& t, const MgcMatrix3& R, const MgcVector3& s, BCapsule& out) const {
  if (capsule_ == nullptr) return;
  out.init(transformedCapsule(*capsule_, zov::scaledBy(s, R * (capsule_->center + t)), R, s));
}
