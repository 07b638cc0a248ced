#include "geometry/BVbox.h"

#include <algorithm>
#include <new>

#include "geometry/MeshTransforms.h"
#include "geometry/VolumeMath.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;

namespace {

/// The box with the transformed centre: axes and extents as both transforms
/// give them.
ZOVbox transformedBox(const ZOVbox& box, const MgcVector3& center, const MgcMatrix3& R, const MgcVector3& s) {
  ZOVbox result;
  result.center = center;
  result.axes = R * box.axes;
  result.extents = zov::scaledBy(zov::absComponents(s), box.extents);
  result.maxExtent = std::max({result.extents.x, result.extents.y, result.extents.z});
  return result;
}

}  // namespace

BVbox::BVbox(ZOVbox* box) : box_(box) {}

BVbox::~BVbox() { deleteBox(); }

bool BVbox::createBox() { return box_.create(); }

void BVbox::deleteBox() { box_.release(); }

bool BVbox::init(const ZOVbox& source) { return box_.assign(source); }

MgcVector3 BVbox::getCenter() const { return box_ != nullptr ? box_->center : MgcVector3::ZERO; }

void BVbox::setCenter(const MgcVector3& center) {
  if (box_ != nullptr) box_->center = center;
}

void BVbox::translate(const MgcVector3& t) {
  if (box_ != nullptr) box_->center += t;
}

MgcVector3 BVbox::getAxis(int i) const {
  if (box_ == nullptr) return MgcVector3::ZERO;
  return box_->axes.GetColumn(i == 1 || i == 2 ? i : 0);
}

double BVbox::getRadio() const { return box_ != nullptr ? box_->extents.Length() : 0.0; }

double BVbox::getVolumen() const {
  if (box_ == nullptr) return 0.0;
  return 8.0 * box_->extents.x * box_->extents.y * box_->extents.z;
}

std::uint32_t BVbox::computeVertexes(MgcVector3* out) const {
  if (box_ == nullptr || out == nullptr) return 0;
  obbCorners(*box_, out);
  return kBoxCorners;
}

void BVbox::transformSRT(const MgcVector3& t, const MgcMatrix3& R, const MgcVector3& s, BVbox& out) const {
  if (box_ == nullptr) return;
  out.init(transformedBox(*box_, R * zov::scaledBy(s, box_->center) + t, R, s));
}

void BVbox::transformTRS(const MgcVector3& t, const MgcMatrix3& R, const MgcVector3& s, BVbox& out) const {
  if (box_ == nullptr) return;
  out.init(transformedBox(*box_, zov::scaledBy(s, R * (box_->center + t)), R, s));
}
