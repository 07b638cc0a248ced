#include "geometry/BoxHelpers.h"

#include "geometry/BoxFits.h"
#include "geometry/OverlapTests.h"

bool bvboxFromPoints(BVbox& box, const Mgc::MgcVector3* points, std::uint32_t count) {
  if (box.getBox() == nullptr && !box.createBox()) return false;
  fitOrientedBox(*box.getBox(), count, points);
  return true;
}

bool bvboxFromIndexedPoints(BVbox& box, const Mgc::MgcVector3* points, const std::uint32_t* indices,
                            std::uint32_t count) {
  if (box.getBox() == nullptr && !box.createBox()) return false;
  fitOrientedBox(*box.getBox(), count, indices, points);
  return true;
}

bool bvboxOverlap(const BVbox& a, const BVbox& b) {
  if (a.getBox() == nullptr || b.getBox() == nullptr) return false;
  return obbOverlap(*a.getBox(), *b.getBox());
}

bool bvboxPlaneTest(const BVbox& box, const Mgc::MgcVector3& point, const Mgc::MgcVector3& normal) {
  if (box.getBox() == nullptr) return false;
  return obbPlaneOverlap(*box.getBox(), point, normal);
}
