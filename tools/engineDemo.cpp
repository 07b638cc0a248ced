// The engine's demo: builds a unit cube mesh record, places it in the world
// with a scale, a rotation and a translation, and prints what the record holds.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "geometry/MeshTransforms.h"
#include "geometry/ShapeRecords.h"
#include "geometry/ZOVmesh.h"
#include "math/MgcMath.h"
#include "math/MgcMatrix3.h"
#include "math/MgcVector3.h"

namespace {

void printVector(const char* label, const Mgc::MgcVector3& v) {
  std::printf("  %-16s (%9.5f, %9.5f, %9.5f)\n", label, v.x, v.y, v.z);
}

}  // namespace

int main() {
  using Mgc::MgcMatrix3;
  using Mgc::MgcVector3;

  // A unit cube centred on the origin: the six quads of its box.
  ZOVmesh cube;
  ZOVAAbox unitBox;
  unitBox.min = MgcVector3(-0.5, -0.5, -0.5);
  unitBox.max = MgcVector3(0.5, 0.5, 0.5);
  meshFromAABB(unitBox, &cube);
  for (unsigned i = 0; i < cube.numVertices; ++i)
    cube.radius = std::max(cube.radius, (cube.vertices[i] - cube.center).Length());

  // Stretch it along x, turn it 30 degrees about z, lift it by 2 in y.
  const double angle = Mgc::Math::PI / 6.0;
  const MgcMatrix3 rotation(std::cos(angle), -std::sin(angle), 0.0, std::sin(angle), std::cos(angle), 0.0, 0.0, 0.0,
                            1.0);
  const MgcVector3 translation(0.0, 2.0, 0.0);
  const MgcVector3 scale(2.0, 1.0, 1.0);
  meshTransformSRT(&cube, translation, rotation, scale);

  std::printf("zov engine demo\n");
  std::printf("unit cube mesh: %u vertices, %u faces of %u corners\n", cube.numVertices, cube.numFaces,
              cube.faces[0].numVertices);
  std::printf("transform: scale (2, 1, 1), 30 degrees about z, translation (0, 2, 0)\n");
  printVector("world centre", cube.worldCenter);
  std::printf("  %-16s %.5f (local %.5f)\n", "world radius", cube.worldRadius, cube.radius);
  for (unsigned i = 0; i < 3; ++i) {
    char label[32];
    std::snprintf(label, sizeof label, "world vertex %u", i);
    printVector(label, cube.worldVertices[i]);
  }
  printVector("world normal 0", cube.worldFaceNormals[0]);
  return 0;
}
