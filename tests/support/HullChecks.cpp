#include "support/HullChecks.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <sstream>
#include <utility>

using Mgc::MgcVector3;

namespace zovtest {

namespace {

template <typename Face>
std::vector<std::uint32_t> cornersOf(const Face& face) {
  return std::vector<std::uint32_t>(face.vertices, face.vertices + face.numVertices);
}

template <typename Mesh>
CheckedHull checkedHullOf(const Mesh& mesh) {
  CheckedHull hull;
  hull.vertices.assign(mesh.vertices, mesh.vertices + mesh.numVertices);
  for (std::uint32_t f = 0; f < mesh.numFaces; ++f)
    hull.faces.push_back({cornersOf(mesh.faces[f]), mesh.faceNormals[f]});
  return hull;
}

}  // namespace

CheckedHull checkedHull(const ZOVmesh& mesh) { return checkedHullOf(mesh); }

CheckedHull checkedHull(const ZOV_DFmesh& mesh) { return checkedHullOf(mesh); }

double enclosedVolume(const CheckedHull& hull) {
  double volume = 0.0;
  for (const CheckedFace& face : hull.faces) {
    const MgcVector3& a = hull.vertices[face.corners[0]];
    for (std::size_t k = 1; k + 1 < face.corners.size(); ++k)
      volume += a.Dot(hull.vertices[face.corners[k]].Cross(hull.vertices[face.corners[k + 1]])) / 6.0;
  }
  return volume;
}

std::vector<std::string> convexityProblems(const CheckedHull& hull, std::uint32_t maxCorners, double tolerance) {
  std::vector<std::string> problems;
  auto report = [&](std::size_t f, const std::string& what) {
    std::ostringstream line;
    line << "face " << f << ": " << what;
    problems.push_back(line.str());
  };
  std::map<std::pair<std::uint32_t, std::uint32_t>, int> sides;
  for (std::size_t f = 0; f < hull.faces.size(); ++f) {
    const CheckedFace& face = hull.faces[f];
    const std::size_t k = face.corners.size();
    if (k < 3 || k > maxCorners) {
      report(f, "has " + std::to_string(k) + " corners");
      continue;
    }
    if (std::fabs(face.normal.Length() - 1.0) > 1e-9) report(f, "normal is not unit length");
    const MgcVector3& origin = hull.vertices[face.corners[0]];
    for (std::size_t i = 0; i < k; ++i) {
      const MgcVector3& p = hull.vertices[face.corners[i]];
      const MgcVector3& q = hull.vertices[face.corners[(i + 1) % k]];
      const MgcVector3& r = hull.vertices[face.corners[(i + 2) % k]];
      if (std::fabs((p - origin).Dot(face.normal)) > tolerance) report(f, "corner off the face plane");
      // A corner turns the wrong way when it lies inside the polygon, beyond
      // the chord between its neighbours, by more than the tolerance.
      MgcVector3 inward = face.normal.Cross(r - p);
      if (inward.Unitize(0.0) > 0.0 && (q - p).Dot(inward) > tolerance)
        report(f, "corners do not turn counter-clockwise");
      ++sides[{face.corners[i], face.corners[(i + 1) % k]}];
    }
    for (const MgcVector3& v : hull.vertices)
      if ((v - origin).Dot(face.normal) > tolerance) {
        report(f, "a hull vertex lies in front of the face");
        break;
      }
  }
  for (const auto& [side, count] : sides) {
    const auto reverse = sides.find({side.second, side.first});
    if (count != 1 || reverse == sides.end() || reverse->second != 1)
      problems.push_back("side " + std::to_string(side.first) + "-" + std::to_string(side.second) +
                         " is not shared by exactly two faces");
  }
  return problems;
}

double largestOutsideDistance(const CheckedHull& hull, const std::vector<MgcVector3>& points) {
  double largest = -1e300;
  for (const MgcVector3& p : points) {
    double distance = -1e300;
    for (const CheckedFace& face : hull.faces)
      distance = std::max(distance, (p - hull.vertices[face.corners[0]]).Dot(face.normal));
    largest = std::max(largest, distance);
  }
  return largest;
}

std::vector<std::int64_t> vertexInputIndices(const CheckedHull& hull, const std::vector<MgcVector3>& points) {
  std::vector<std::int64_t> indices;
  for (const MgcVector3& v : hull.vertices) {
    std::int64_t index = -1;
    for (std::size_t i = 0; i < points.size(); ++i)
      if (points[i].x == v.x && points[i].y == v.y && points[i].z == v.z) {
        index = static_cast<std::int64_t>(i);
        break;
      }
    indices.push_back(index);
  }
  std::sort(indices.begin(), indices.end());
  return indices;
}

}  // namespace zovtest
