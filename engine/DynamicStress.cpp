#include "engine/DynamicStress.h"

#include "engine/PrivateHardBody.h"
#include "math/Tolerances.h"

Mgc::MgcVector3 DynamicStress::direction() const {
  if (cNode == nullptr || pNode == nullptr) return Mgc::MgcVector3();
  Mgc::MgcVector3 d = pNode->getDyn().position - cNode->getDyn().position;
  d.Unitize(zov::kUnitizeTolerance);
  return d;
}
