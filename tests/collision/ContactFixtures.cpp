#include "ContactFixtures.h"

using Mgc::MgcVector3;

namespace zovtest {

std::unique_ptr<ZOVmesh> nailBedMesh(std::uint32_t n, double spread) {
  std::vector<MgcVector3> vertices;
  std::vector<std::vector<std::uint32_t>> faces;
  const double side = 0.4 * spread / n;
  for (std::uint32_t i = 0; i < n; ++i) {
    const double x = -spread + 2.0 * spread * (i + 0.5) / n;
    const double z = 0.1 * spread * (i % 3);
    const auto first = static_cast<std::uint32_t>(vertices.size());
    vertices.emplace_back(x, 0.0, z);
    vertices.emplace_back(x, 0.0, z + side);
    vertices.emplace_back(x + side, 0.0, z);
    faces.push_back({first, first + 2, first + 1});  // (x, z) -> (x + s, z) -> (x, z + s): facing down
  }
  return polygonMesh(vertices, faces);
}

}  // namespace zovtest
