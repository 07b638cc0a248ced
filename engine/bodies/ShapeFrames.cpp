#include "engine/bodies/ShapeFrames.h"

#include <cmath>
#include <cstring>

#include "geometry/MeshTransforms.h"
#include "math/MgcMath.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;

namespace shapeframes {

MgcVector3 usableScale(const MgcVector3& s) {
  MgcVector3 result = s;
  for (int i = 0; i < 3; ++i) {
    if (!std::isfinite(result[i]) || result[i] == 0.0) result[i] = 1.0;
  }
  return result;
}

MgcVector3 inverseScale(const MgcVector3& s) {
  const MgcVector3 u = usableScale(s);
  return {1.0 / u.x, 1.0 / u.y, 1.0 / u.z};
}

void worldToLocal(ZOVmesh* mesh) {
  if (mesh == nullptr) return;
  if (mesh->vertices != nullptr && mesh->worldVertices != nullptr) {
    std::memcpy(static_cast<void*>(mesh->vertices), mesh->worldVertices, mesh->numVertices * sizeof(MgcVector3));
  }
  if (mesh->faceNormals != nullptr && mesh->worldFaceNormals != nullptr) {
    std::memcpy(static_cast<void*>(mesh->faceNormals), mesh->worldFaceNormals, mesh->numFaces * sizeof(MgcVector3));
  }
  mesh->center = mesh->worldCenter;
  mesh->radius = mesh->worldRadius;
}

void meshIntoFrame(ZOVmesh* mesh, const MgcVector3& p, const MgcMatrix3& R, const MgcVector3& s) {
  if (mesh == nullptr) return;
  meshTransformTRS(mesh, -p, R.Transpose(), inverseScale(s));
  worldToLocal(mesh);
}

void setBoxRotation(HardBodyShape& shape, const MgcMatrix3& rotation) {
  shape.boxRotation = rotation;
  shape.boxQuat.FromRotationMatrix(rotation);
}

double largestComponent(const MgcVector3& v) {
  double largest = v.x;
  if (v.y > largest) largest = v.y;
  if (v.z > largest) largest = v.z;
  return largest;
}

MgcMatrix3 placedInertia(const MgcMatrix3& centred, const MgcMatrix3& B, const MgcVector3& c, double m) {
  MgcMatrix3 I = (B * centred).TimesTranspose(B);
  const double cc = c.Dot(c);
  for (int r = 0; r < 3; ++r) {
    for (int k = 0; k < 3; ++k) I[r][k] += m * ((r == k ? cc : 0.0) - c[r] * c[k]);
  }
  return I;
}

MgcMatrix3 capsuleInertia(double m, double r, double L) {
  const double cylinder = Mgc::Math::PI * r * r * L;
  const double sphere = 4.0 / 3.0 * Mgc::Math::PI * r * r * r;
  const double total = cylinder + sphere;
  MgcMatrix3 I;
  if (!(total > 0.0)) return I;
  const double mc = m * cylinder / total;
  const double mh = m * sphere / total;  // both hemispheres
  const double axial = mc * r * r / 2.0 + mh * 2.0 * r * r / 5.0;
  const double transverse =
      mc * (L * L / 12.0 + r * r / 4.0) + mh * (2.0 * r * r / 5.0 + L * L / 4.0 + 3.0 * L * r / 8.0);
  I.MakeDiagonal(transverse, transverse, axial);
  return I;
}

}  // namespace shapeframes
