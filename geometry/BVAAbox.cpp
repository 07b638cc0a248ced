#include "geometry/BVAAbox.h"

#include <new>

#include "geometry/MeshTransforms.h"
#include "geometry/VolumeMath.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;

namespace {

ZOVAAbox boxAround(const MgcVector3& center, const MgcVector3& halfSize) {
  return ZOVAAbox{center - halfSize, center + halfSize};
}

}  // namespace

BVAAbox::BVAAbox(ZOVAAbox* box) : box_(box) {}

BVAAbox::~BVAAbox() { deleteBox(); }

bool BVAAbox::createBox() { return box_.create(); }

void BVAAbox::deleteBox() { box_.release(); }

bool BVAAbox::init(const ZOVAAbox& source) { return box_.assign(source); }

MgcVector3 BVAAbox::getCenter() const { return box_ != nullptr ? (box_->min + box_->max) * 0.5 : MgcVector3::ZERO; }

void BVAAbox::setCenter(const MgcVector3& center) {
  if (box_ == nullptr) return;
  const MgcVector3 halfSize = (box_->max - box_->min) * 0.5;
  *box_ = boxAround(center, halfSize);
}

void BVAAbox::translate(const MgcVector3& t) { setCenter(getCenter() + t); }

MgcVector3 BVAAbox::getAxis(int i) const {
  if (i == 1) return MgcVector3::UNIT_Y;
  if (i == 2) return MgcVector3::UNIT_Z;
  return MgcVector3::UNIT_X;
}

double BVAAbox::getRadio() const { return box_ != nullptr ? ((box_->max - box_->min) * 0.5).Length() : 0.0; }

double BVAAbox::getVolumen() const {
  if (box_ == nullptr) return 0.0;
  const MgcVector3 size = box_->max - box_->min;
  return size.x * size.y * size.z;
}

std::uint32_t BVAAbox::computeVertexes(MgcVector3* out) const {
  if (box_ == nullptr || out == nullptr) return 0;
  aabbCorners(*box_, out);
  return kBoxCorners;
}

MgcVector3 BVAAbox::scaledHalfSize(const MgcVector3& s) const {
  return zov::absComponents(zov::scaledBy(s, box_->max) - zov::scaledBy(s, box_->min)) * 0.5;
}

void BVAAbox::transformSRT(const MgcVector3& t, const MgcMatrix3& R, const MgcVector3& s, BVAAbox& out) const {
  if (box_ == nullptr) return;
  const MgcVector3 center = R * zov::scaledBy(s, getCenter()) + t;
  out.init(boxAround(center, scaledHalfSize(s)));
}

void BVAAbox::transformTRS(const MgcVector3& t, const MgcMatrix3& R, const MgcVector3& s, BVAAbox& out) const {
  if (box_ == nullptr) return;
  const MgcVector3 center = zov::scaledBy(s, R * (getCenter() + t));
  out.init(boxAround(center, scaledHalfSize(s)));
}
