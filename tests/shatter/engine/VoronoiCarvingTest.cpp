#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <utility>
#include <vector>

#include "engine/MeshFactory.h"
#include "engine/shatter/ShatterMeshOps.h"
#include "engine/shatter/VoronoiCarving.h"
#include "geometry/MassProperties.h"
#include "geometry/shatter/Clipper.h"
#include "shatter/CutFixtures.h"

using Mgc::MgcVector3;
using namespace zovtest;

namespace {

using Polygon = std::vector<MgcVector3>;

/// The part of a convex polygon where (x - point) . normal <= 0.
Polygon clipPolygon(const Polygon& polygon, const MgcVector3& normal, const MgcVector3& point) {
  Polygon out;
  for (std::size_t k = 0; k < polygon.size(); ++k) {
    const MgcVector3& a = polygon[k];
    const MgcVector3& b = polygon[(k + 1) % polygon.size()];
    const double da = normal.Dot(a - point), db = normal.Dot(b - point);
    if (da <= 0.0) out.push_back(a);
    if ((da < 0.0 && db > 0.0) || (da > 0.0 && db < 0.0)) out.push_back(a + (b - a) * (da / (da - db)));
  }
  return out;
}

/// Brute force: the area of the face between the Voronoi regions of seeds i
/// and j inside the box [-half, half]: their bisector plane, cut down to the
/// box and to the points no nearer any other seed.
double voronoiFaceArea(const std::vector<MgcVector3>& seeds, std::size_t i, std::size_t j, const MgcVector3& half) {
  MgcVector3 n = seeds[j] - seeds[i];
  n.Unitize(1e-300);
  const MgcVector3 mid = (seeds[i] + seeds[j]) * 0.5;
  const MgcVector3 u = std::fabs(n.x) < 0.9 ? n.UnitCross({1, 0, 0}) : n.UnitCross({0, 1, 0});
  const MgcVector3 v = n.Cross(u);
  const double size = 10.0 * half.Length();
  Polygon polygon = {mid + (u + v) * size, mid + (v - u) * size, mid - (u + v) * size, mid + (u - v) * size};
  for (int axis = 0; axis < 3; ++axis) {
    MgcVector3 e;
    e[axis] = 1.0;
    polygon = clipPolygon(polygon, e, e * half[axis]);
    polygon = clipPolygon(polygon, -e, -e * half[axis]);
  }
  for (std::size_t k = 0; k < seeds.size() && polygon.size() >= 3; ++k)
    if (k != i && k != j) polygon = clipPolygon(polygon, seeds[k] - seeds[i], (seeds[k] + seeds[i]) * 0.5);
  return polygon.size() >= 3 ? polygonAreaOf(polygon) : 0.0;
}

Polygon cornersOf(const ZOV_DFmesh& mesh, std::uint32_t f) {
  Polygon points;
  for (std::uint32_t k = 0; k < mesh.faces[f].numVertices; ++k)
    points.push_back(mesh.worldVertices[mesh.faces[f].vertices[k]]);
  return points;
}

MgcVector3 newellNormal(const Polygon& p) {
  MgcVector3 n;
  for (std::size_t k = 0; k < p.size(); ++k) n += p[k].Cross(p[(k + 1) % p.size()]);
  n.Unitize(1e-300);
  return n;
}

std::uint32_t countCutFaces(const ZOV_DFmesh& mesh) {
  std::uint32_t n = 0;
  for (std::uint32_t f = 0; f < mesh.numFaces; ++f) n += (mesh.faces[f].faceFlags & kDFfaceCut) != 0 ? 1 : 0;
  return n;
}

double totalVolume(const VoronoiCarving& carving) {
  double sum = 0.0;
  for (const VoronoiCell& cell : carving.cells) sum += meshVolume(*cell.mesh);
  return sum;
}

std::vector<MgcVector3> octantCentres() {
  std::vector<MgcVector3> seeds;
  for (int i = 0; i < 8; ++i) seeds.emplace_back(i & 1 ? 0.5 : -0.5, i & 2 ? 0.5 : -0.5, i & 4 ? 0.5 : -0.5);
  return seeds;
}

}  // namespace

TEST(VoronoiCarving, CubeCarvedAtItsOctantCentresGivesEightUnitCubes) {
  auto cube = toDFmesh(boxSolid({1, 1, 1}));
  const std::vector<MgcVector3> seeds = octantCentres();
  for (const bool groups : {false, true}) {
    const VoronoiCarving carving = carveVoronoiCells(cube.get(), seeds.data(), 8, groups);
    ASSERT_EQ(carving.status, VoronoiCarving::Status::kCarved);
    ASSERT_EQ(carving.cells.size(), 8u);
    EXPECT_EQ(carving.abandoned, 0u);
    std::vector<bool> seen(8, false);
    for (const VoronoiCell& cell : carving.cells) {
      const ZOV_DFmesh& mesh = *cell.mesh;
      seen[cell.seed] = true;
      EXPECT_NEAR(meshVolume(mesh), 1.0, 1e-12);
      EXPECT_EQ(mesh.numFaces, 6u);
      EXPECT_EQ(mesh.numVertices, 8u);
      EXPECT_EQ(countCutFaces(mesh), 3u);
      for (std::uint32_t v = 0; v < mesh.numVertices; ++v)
        for (int a = 0; a < 3; ++a) EXPECT_GE(mesh.worldVertices[v][a] * seeds[cell.seed][a], -1e-12);
    }
    EXPECT_EQ(seen, std::vector<bool>(8, true));
  }
  // The carved mesh is left alone.
  EXPECT_EQ(cube->numFaces, 6u);
  EXPECT_NEAR(meshVolume(*cube), 8.0, 1e-12);
}

TEST(VoronoiCarving, RandomSeedsInABoxGiveTheVoronoiCells) {
  const MgcVector3 half(1.5, 1.0, 0.75);
  auto box = toDFmesh(boxSolid(half));
  Random random(11);
  std::vector<MgcVector3> seeds;
  for (int i = 0; i < 30; ++i)
    seeds.emplace_back(random.uniform(-half.x, half.x), random.uniform(-half.y, half.y),
                       random.uniform(-half.z, half.z));
  const auto n = static_cast<std::uint32_t>(seeds.size());
  const VoronoiCarving carving = carveVoronoiCells(box.get(), seeds.data(), n, false);
  ASSERT_EQ(carving.cells.size(), n);
  const double boxVolume = 8.0 * half.x * half.y * half.z;
  EXPECT_NEAR(totalVolume(carving), boxVolume, 1e-9 * boxVolume);

  // Cut-face area of cell i on the bisector plane with seed j.
  std::map<std::pair<std::uint32_t, std::uint32_t>, double> shared;
  for (const VoronoiCell& cell : carving.cells) {
    const ZOV_DFmesh& mesh = *cell.mesh;
    const MgcVector3& seed = seeds[cell.seed];
    EXPECT_TRUE(isClosedMesh(mesh));
    for (std::uint32_t v = 0; v < mesh.numVertices; ++v) {
      const MgcVector3& p = mesh.worldVertices[v];
      for (const MgcVector3& other : seeds)
        EXPECT_LE((p - seed).Length(), (p - other).Length() + 1e-9) << "vertex " << v << " of cell " << cell.seed;
    }
    for (std::uint32_t f = 0; f < mesh.numFaces; ++f) {
      // Outward and convex: the whole cell, its seed included, lies behind
      // every face.
      const Polygon face = cornersOf(mesh, f);
      const MgcVector3 normal = newellNormal(face);
      EXPECT_LT(normal.Dot(seed - face[0]), 0.0);
      for (std::uint32_t v = 0; v < mesh.numVertices; ++v) EXPECT_LE(normal.Dot(mesh.worldVertices[v] - face[0]), 1e-9);
      if ((mesh.faces[f].faceFlags & kDFfaceCut) == 0) continue;
      // A cut face lies on the bisector plane of its seed and one other.
      std::uint32_t neighbour = n;
      double best = 1e300;
      for (std::uint32_t j = 0; j < n; ++j) {
        if (j == cell.seed) continue;
        MgcVector3 bisector = seeds[j] - seed;
        bisector.Unitize(1e-300);
        double off = 0.0;
        for (const MgcVector3& p : face) off = std::max(off, std::fabs(bisector.Dot(p - (seed + seeds[j]) * 0.5)));
        if (off < best) best = off, neighbour = j;
      }
      EXPECT_LT(best, 1e-9);
      shared[{cell.seed, neighbour}] += polygonAreaOf(face);
    }
  }

  // Two cells share a cut face exactly when their seeds are Voronoi
  // neighbours in the box, and the face is the whole Voronoi face.
  std::uint32_t neighbours = 0;
  for (std::uint32_t i = 0; i < n; ++i) {
    for (std::uint32_t j = i + 1; j < n; ++j) {
      const double expected = voronoiFaceArea(seeds, i, j, half);
      const double a = shared.count({i, j}) ? shared[{i, j}] : 0.0;
      const double b = shared.count({j, i}) ? shared[{j, i}] : 0.0;
      ASSERT_TRUE(expected > 1e-6 || expected < 1e-12) << "seeds " << i << " and " << j << " nearly touch";
      if (expected > 1e-6) {
        ++neighbours;
        EXPECT_NEAR(a, expected, 1e-9) << i << " " << j;
        EXPECT_NEAR(b, expected, 1e-9) << i << " " << j;
      } else {
        EXPECT_EQ(a, 0.0) << i << " " << j;
        EXPECT_EQ(b, 0.0) << i << " " << j;
      }
    }
  }
  EXPECT_GT(neighbours, n);
}

TEST(VoronoiCarving, CellsInTwoPartsAreCutPartByPart) {
  // A thick ring about the z axis from z = 0 to 1. The cell of the seed
  // below its centre is cut into two arcs by the seeds on either side, then
  // both arcs are cut by the plane z = 0.8 of the seed above.
  const Solid ring = tubeSolid(1.6, 2.0, 32, 0.0, 1.0);
  auto mesh = toDFmesh(ring);
  const std::vector<MgcVector3> seeds = {{0, 0, -0.5}, {2.5, 0, -0.5}, {-2.5, 0, -0.5}, {0, 0, 2.1}};
  const double polygonArea = 16.0 * std::sin(2.0 * M_PI / 32.0);
  const double ringVolume = polygonArea * (2.0 * 2.0 - 1.6 * 1.6);
  ASSERT_NEAR(meshVolume(*mesh), ringVolume, 1e-12);

  std::vector<double> volumes[2];
  for (const bool groups : {false, true}) {
    const VoronoiCarving carving = carveVoronoiCells(mesh.get(), seeds.data(), 4, groups);
    ASSERT_EQ(carving.cells.size(), 4u);
    EXPECT_NEAR(totalVolume(carving), ringVolume, 1e-9 * ringVolume);
    for (const VoronoiCell& cell : carving.cells) {
      EXPECT_TRUE(isClosedMesh(*cell.mesh));
      volumes[groups].push_back(meshVolume(*cell.mesh));
      if (cell.seed != 0) continue;
      // Two arcs, mirror images of each other.
      std::unique_ptr<ZOV_DFmesh> copy(copyDFmesh(cell.mesh.get()));
      ZOV_DFmesh** parts = nullptr;
      ASSERT_EQ(splitDFmeshParts(copy.get(), &parts), 2);
      EXPECT_NEAR(meshVolume(*parts[0]), meshVolume(*parts[1]), 1e-12);
      for (std::uint32_t v = 0; v < cell.mesh->numVertices; ++v) EXPECT_LE(cell.mesh->worldVertices[v].z, 0.8 + 1e-12);
      deleteDFmeshParts(&parts, 2);
    }
  }
  for (std::size_t c = 0; c < 4; ++c) EXPECT_NEAR(volumes[0][c], volumes[1][c], 1e-10);
}

TEST(VoronoiCarving, SeedsWhoseCellMissesTheMeshAreAbandoned) {
  auto cube = toDFmesh(boxSolid({1, 1, 1}));
  std::vector<MgcVector3> seeds = octantCentres();
  seeds.emplace_back(100, 0, 0);
  const VoronoiCarving carving = carveVoronoiCells(cube.get(), seeds.data(), 9, false);
  EXPECT_EQ(carving.cells.size(), 8u);
  EXPECT_EQ(carving.abandoned, 1u);
  EXPECT_NEAR(totalVolume(carving), 8.0, 1e-12);
  for (const VoronoiCell& cell : carving.cells) EXPECT_NE(cell.seed, 8u);
}

TEST(VoronoiCarving, ProgressSeesEachSeedInOrderAndCanStop) {
  auto cube = toDFmesh(boxSolid({1, 1, 1}));
  const std::vector<MgcVector3> seeds = octantCentres();
  std::vector<std::uint32_t> positions;
  const VoronoiCarving carving =
      carveVoronoiCells(cube.get(), seeds.data(), 8, false, [&](std::uint32_t position, std::uint32_t count) {
        EXPECT_EQ(count, 8u);
        positions.push_back(position);
        return position < 3;
      });
  EXPECT_EQ(carving.status, VoronoiCarving::Status::kInterrupted);
  EXPECT_TRUE(carving.cells.empty());
  EXPECT_EQ(positions, (std::vector<std::uint32_t>{0, 1, 2, 3}));
}

TEST(VoronoiCarving, BadInputCarvesNothing) {
  auto cube = toDFmesh(boxSolid({1, 1, 1}));
  std::vector<MgcVector3> seeds = octantCentres();
  EXPECT_EQ(carveVoronoiCells(nullptr, seeds.data(), 8, false).status, VoronoiCarving::Status::kBadInput);
  EXPECT_EQ(carveVoronoiCells(cube.get(), nullptr, 8, false).status, VoronoiCarving::Status::kBadInput);
  seeds[3].y = std::nan("");
  EXPECT_EQ(carveVoronoiCells(cube.get(), seeds.data(), 8, false).status, VoronoiCarving::Status::kBadInput);
  // One seed carves no cell.
  const VoronoiCarving one = carveVoronoiCells(cube.get(), seeds.data(), 1, false);
  EXPECT_EQ(one.status, VoronoiCarving::Status::kCarved);
  EXPECT_TRUE(one.cells.empty());
  cube->faces[0].vertices[0] = 8;
  EXPECT_EQ(carveVoronoiCells(cube.get(), seeds.data(), 2, false).status, VoronoiCarving::Status::kBadInput);
}
