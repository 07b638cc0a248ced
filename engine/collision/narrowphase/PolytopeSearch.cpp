#include "engine/collision/narrowphase/PolytopeSearch.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <new>
#include <type_traits>
#include <vector>

#include "math/PolygonClipping.h"
#include "math/Tolerances.h"

using Mgc::MgcVector3;
using zov::kTolerance;
using zov::kUnitizeTolerance;

namespace {

/// A face of the expanding polytope: three record indices and its outward
/// unit normal; its plane lies at `distance` = normal . (first record's point).
struct PolytopeFace {
  std::uint32_t records[3];
  MgcVector3 normal;
  double distance;
  bool removed;
  /// False for a sliver whose corners lie on one line: it has no plane and
  /// takes no part in the nearest-face scans.
  bool hasPlane;
};

/// An edge of the faces that one expansion removes, with the faces on its
/// sides (-1 while a side is not known).
struct PolytopeEdge {
  std::uint32_t records[2];
  std::int32_t faces[2];
};

/// A list that holds its first N entries in place (on the stack of the
/// search) and moves to the heap only past them, with room for `spill`
/// entries at once: searches on helper threads, box on box taking a dozen
/// expansions at most, then allocate nothing, while a search over finely
/// faceted shapes still makes each list once. Entries are plain values.
template <typename T, std::size_t N>
class InlineList {
  static_assert(std::is_trivially_copyable<T>::value && std::is_trivially_destructible<T>::value, "plain values only");

 public:
  explicit InlineList(std::size_t spill) : spillRoom(spill > N ? spill : 2 * N) {}
  InlineList(const InlineList&) = delete;
  InlineList& operator=(const InlineList&) = delete;

  std::size_t size() const { return count; }
  bool empty() const { return count == 0; }
  T* begin() { return data(); }
  T* end() { return data() + count; }
  const T* begin() const { return data(); }
  const T* end() const { return data() + count; }
  T& operator[](std::size_t i) { return data()[i]; }
  const T& operator[](std::size_t i) const { return data()[i]; }

  void push_back(const T& value) {
    if (spilled.empty()) {
      if (count < N) {
        new (place + count * sizeof(T)) T(value);
        ++count;
        return;
      }
      spilled.reserve(spillRoom);
      spilled.assign(inPlace(), inPlace() + count);
    }
    spilled.push_back(value);
    ++count;
  }
  /// Empties the list; a list on the heap keeps its room there.
  void clear() {
    count = 0;
    spilled.clear();
  }

 private:
  T* inPlace() { return std::launder(reinterpret_cast<T*>(place)); }
  const T* inPlace() const { return std::launder(reinterpret_cast<const T*>(place)); }
  T* data() { return spilled.empty() ? inPlace() : spilled.data(); }
  const T* data() const { return spilled.empty() ? inPlace() : spilled.data(); }

  alignas(T) unsigned char place[N * sizeof(T)];
  std::size_t count = 0;
  std::size_t spillRoom;
  std::vector<T> spilled;
};

/// Entries each list of the search holds in place: a box on a box, the
/// shapes of a pile, takes at most 11 support records, 34 faces and 9
/// edges an expansion, with room to spare here.
constexpr std::size_t kInPlaceRecords = 32;
constexpr std::size_t kInPlaceFaces = 96;
constexpr std::size_t kInPlaceEdges = 48;

JumpRecord makeRecord(const SupportPair& pair, const MgcVector3& d) {
  JumpRecord record;
  record.point = pair.point();
  record.vertexA = pair.vertexA;
  record.vertexB = pair.vertexB;
  record.direction = d;
  return record;
}

bool samePair(const PairSupport& shapes, const JumpRecord& record, const SupportPair& pair) {
  if (record.vertexA != pair.vertexA) return false;
  if (shapes.indexedB()) return record.vertexB == pair.vertexB;
  return (record.point - pair.point()).SquaredLength() < kTolerance * kTolerance;
}

/// The coordinate axis of n's smallest component, in the seed's order of
/// comparisons.
MgcVector3 leastAlignedAxis(const MgcVector3& n) {
  const double x = std::fabs(n.x);
  const double y = std::fabs(n.y);
  const double z = std::fabs(n.z);
  if (y > x) return z > x ? MgcVector3::UNIT_X : MgcVector3::UNIT_Z;
  return z > y ? MgcVector3::UNIT_Y : MgcVector3::UNIT_Z;
}

class Polytope {
 public:
  // Past their places the lists are made at once with room for the most
  // the search can use (an expansion's edges are three per face it removes,
  // shared ones once), so that none grows through every small size.
  Polytope(const PairSupport& shapes, const JumpState& state)
      : shapes_(shapes),
        records_(4 + kMaxPolytopeExpansions),
        faces_(4 * kMaxPolytopeExpansions),
        edges_(4 * kMaxPolytopeExpansions) {
    seed(state);
  }

  /// Expands until the search settles and returns the final face.
  PolytopeResult run(MgcVector3& finalDirection, SupportPair& finalPair);

 private:
  void seed(const JumpState& state);
  void addFace(std::uint32_t a, std::uint32_t b, std::uint32_t c, const MgcVector3& normal);
  /// The live face with the smallest plane distance (or absolute distance);
  /// the first in list order on ties. -1 when there is none.
  std::int32_t nearestFace(bool absolute) const;
  /// Whether the search has converged at point p for face f.
  bool expansionDone(const PolytopeFace& face, const MgcVector3& p) const;
  /// Adds the record and replaces the faces visible from it; false when none is.
  bool expand(const JumpRecord& record);
  PolytopeResult resultOf(std::int32_t f) const;

  const PairSupport& shapes_;
  InlineList<JumpRecord, kInPlaceRecords> records_;
  InlineList<PolytopeFace, kInPlaceFaces> faces_;
  /// The edges of the faces one expansion removes; emptied for each.
  InlineList<PolytopeEdge, kInPlaceEdges> edges_;
  MgcVector3 interior_;
};

void Polytope::seed(const JumpState& state) {
  const MgcVector3 n = state.direction;
  records_.push_back(makeRecord(shapes_.pairAt(state.vertexA, state.vertexB, n), n));
  const JumpRecord& r0 = records_[0];

  MgcVector3 d1 = unitized(leastAlignedAxis(n).Cross(n));
  SupportPair pair = shapes_.support(d1, r0.vertexA, r0.vertexB);
  if (samePair(shapes_, r0, pair)) {
    d1 = -d1;
    pair = shapes_.support(d1, r0.vertexA, r0.vertexB);
  }
  records_.push_back(makeRecord(pair, d1));

  // The third point widens the segment most, searched across it along the
  // less aligned of n and d1.
  const MgcVector3 e = records_[1].point - records_[0].point;
  const MgcVector3 across = std::fabs(d1.Dot(e)) > std::fabs(n.Dot(e)) ? n : d1;
  const MgcVector3 d2 = unitized(across.Cross(e));
  const SupportPair plus2 = shapes_.support(d2, r0.vertexA, r0.vertexB);
  const SupportPair minus2 = shapes_.support(-d2, r0.vertexA, r0.vertexB);
  const double areaPlus = (plus2.point() - records_[0].point).Cross(e).SquaredLength();
  const double areaMinus = (minus2.point() - records_[0].point).Cross(e).SquaredLength();
  records_.push_back(areaMinus > areaPlus ? makeRecord(minus2, -d2) : makeRecord(plus2, d2));

  // The fourth lies furthest from the triangle's plane.
  const MgcVector3& p0 = records_[0].point;
  const MgcVector3 d3 = unitized((records_[1].point - p0).Cross(records_[2].point - p0));
  const SupportPair plus3 = shapes_.support(d3, r0.vertexA, r0.vertexB);
  const SupportPair minus3 = shapes_.support(-d3, r0.vertexA, r0.vertexB);
  const double heightPlus = std::fabs((plus3.point() - p0).Dot(d3));
  const double heightMinus = std::fabs((minus3.point() - p0).Dot(d3));
  records_.push_back(heightMinus > heightPlus ? makeRecord(minus3, -d3) : makeRecord(plus3, d3));

  interior_ = MgcVector3();
  for (const JumpRecord& record : records_) interior_ += record.point;
  interior_ *= 0.25;

  static constexpr std::uint32_t kTetrahedron[4][4] = {{0, 1, 2, 3}, {0, 1, 3, 2}, {0, 2, 3, 1}, {1, 2, 3, 0}};
  for (const auto& face : kTetrahedron) {
    const MgcVector3& a = records_[face[0]].point;
    MgcVector3 normal = unitized((records_[face[1]].point - a).Cross(records_[face[2]].point - a));
    if (normal.Dot(records_[face[3]].point - a) > kTolerance) normal = -normal;
    addFace(face[0], face[1], face[2], normal);
  }
}

void Polytope::addFace(std::uint32_t a, std::uint32_t b, std::uint32_t c, const MgcVector3& normal) {
  faces_.push_back({{a, b, c}, normal, normal.Dot(records_[a].point), false, normal.SquaredLength() > 0.5});
}

std::int32_t Polytope::nearestFace(bool absolute) const {
  std::int32_t best = -1;
  double bestDistance = zov::kMaxFloat;
  for (std::size_t f = 0; f < faces_.size(); ++f) {
    if (faces_[f].removed || !faces_[f].hasPlane) continue;
    const double distance = absolute ? std::fabs(faces_[f].distance) : faces_[f].distance;
    if (best < 0 || distance < bestDistance) {
      bestDistance = distance;
      best = static_cast<std::int32_t>(f);
    }
  }
  return best;
}

bool Polytope::expansionDone(const PolytopeFace& face, const MgcVector3& p) const {
  if (face.normal.Dot(p - records_[face.records[0]].point) < kTolerance) return true;
  for (const JumpRecord& record : records_)
    if ((p - record.point).SquaredLength() < kTolerance) return true;
  return false;
}

bool Polytope::expand(const JumpRecord& record) {
  const std::uint32_t added = static_cast<std::uint32_t>(records_.size());
  records_.push_back(record);
  const MgcVector3& p = record.point;

  InlineList<PolytopeEdge, kInPlaceEdges>& edges = edges_;
  edges.clear();
  for (std::size_t f = 0; f < faces_.size(); ++f) {
    PolytopeFace& face = faces_[f];
    if (face.removed) continue;
    if (unitized(p - records_[face.records[0]].point).Dot(face.normal) <= kTolerance) continue;
    face.removed = true;
    for (int side = 0; side < 3; ++side) {
      const std::uint32_t a = face.records[side];
      const std::uint32_t b = face.records[(side + 1) % 3];
      bool shared = false;
      for (PolytopeEdge& edge : edges) {
        if ((edge.records[0] == a && edge.records[1] == b) || (edge.records[0] == b && edge.records[1] == a)) {
          edge.faces[1] = static_cast<std::int32_t>(f);
          shared = true;
          break;
        }
      }
      if (!shared) edges.push_back({{a, b}, {static_cast<std::int32_t>(f), -1}});
    }
  }
  if (edges.empty()) return false;

  // The horizon: edges of removed faces whose other side stays.
  for (const PolytopeEdge& edge : edges) {
    if (edge.faces[1] >= 0) continue;
    const MgcVector3& pa = records_[edge.records[0]].point;
    const MgcVector3& pb = records_[edge.records[1]].point;
    MgcVector3 normal = unitized((pb - pa).Cross(p - pb));
    if (unitized(interior_ - pa).Dot(normal) >= -kTolerance) normal = -normal;
    addFace(edge.records[0], edge.records[1], added, normal);
  }
  return true;
}

PolytopeResult Polytope::resultOf(std::int32_t f) const {
  PolytopeResult result;
  if (f < 0) return result;
  const PolytopeFace& face = faces_[f];
  for (int k = 0; k < 3; ++k) result.face[k] = records_[face.records[k]];
  result.normal = face.normal;
  result.found = face.normal.SquaredLength() > 0.5;
  return result;
}

PolytopeResult Polytope::run(MgcVector3& finalDirection, SupportPair& finalPair) {
  std::int32_t nearest = nearestFace(false);
  for (std::uint32_t expansion = 0; nearest >= 0; ++expansion) {
    const PolytopeFace& face = faces_[nearest];
    const JumpRecord& first = records_[face.records[0]];
    const MgcVector3 d = -face.normal;
    const SupportPair pair = shapes_.support(d, first.vertexA, first.vertexB);
    // Past the expansion budget the nearest face so far stands, as on
    // convergence.
    if (expansion >= kMaxPolytopeExpansions || expansionDone(face, pair.point())) {
      nearest = nearestFace(true);
      const PolytopeFace& settled = faces_[nearest];
      const JumpRecord& settledFirst = records_[settled.records[0]];
      finalDirection = -settled.normal;
      finalPair = shapes_.pairAt(settledFirst.vertexA, settledFirst.vertexB, finalDirection);
      break;
    }
    if (!expand(makeRecord(pair, d))) {
      finalDirection = d;
      finalPair = pair;
      break;
    }
    nearest = nearestFace(false);
  }
  return resultOf(nearest);
}

/// The margin of a direction and support pair: half the gap by which w falls
/// short of separating along d.
double margin(const MgcVector3& d, const SupportPair& pair) { return (kTolerance - d.Dot(pair.point())) * 0.5; }

}  // namespace

PolytopeResult searchPolytope(const PairSupport& shapes, JumpState& state) {
  const SupportPair start = shapes.pairAt(state.vertexA, state.vertexB, state.direction);
  const double startMargin = margin(state.direction, start);
  Polytope polytope(shapes, state);
  MgcVector3 direction = state.direction;
  SupportPair pair = start;
  const PolytopeResult result = polytope.run(direction, pair);
  const double finalMargin = margin(direction, pair);
  if (std::fabs(finalMargin) < std::fabs(startMargin)) {
    state.direction = direction;
    state.vertexA = pair.vertexA;
    state.vertexB = pair.vertexB;
    state.lastPoint = pair.point();
  }
  return result;
}

std::uint32_t nearestFeatureRecords(const PolytopeResult& result, std::uint32_t records[3]) {
  const MgcVector3& p0 = result.face[0].point;
  const MgcVector3& p1 = result.face[1].point;
  const MgcVector3& p2 = result.face[2].point;
  const double q0 = p0.SquaredLength();
  const double q1 = p1.SquaredLength();
  const double q2 = p2.SquaredLength();
  const std::uint32_t vertex = q1 <= q0 ? (q2 <= q1 ? 2 : 1) : (q0 < q2 ? 0 : 2);
  const double vertexDistance = result.face[vertex].point.SquaredLength();

  const MgcVector3 origin;
  double t = 0.0;
  const double e01 = distanceSq_pt2seg(origin, p0, p1, t);
  const double e12 = distanceSq_pt2seg(origin, p1, p2, t);
  const double e20 = distanceSq_pt2seg(origin, p2, p0, t);
  const std::uint32_t edge = e12 <= e01 ? (e20 <= e12 ? 2 : 1) : (e01 < e20 ? 0 : 2);
  const double edgeDistance = edge == 0 ? e01 : (edge == 1 ? e12 : e20);

  const double height = p0.Dot(result.normal);
  const double faceDistance = height * height;

  if (edgeDistance >= faceDistance && vertexDistance >= faceDistance) {
    records[0] = 0;
    records[1] = 1;
    records[2] = 2;
    return 3;
  }
  if (vertexDistance >= edgeDistance && faceDistance >= edgeDistance) {
    records[0] = edge;
    records[1] = (edge + 1) % 3;
    return 2;
  }
  records[0] = vertex;
  return 1;
}

std::uint32_t distinctVertices(const PolytopeResult& result, const std::uint32_t records[3], std::uint32_t count,
                               bool first, std::uint32_t list[3]) {
  std::uint32_t n = 0;
  for (std::uint32_t k = 0; k < count; ++k) {
    const JumpRecord& record = result.face[records[k]];
    const std::uint32_t vertex = first ? record.vertexA : record.vertexB;
    bool seen = false;
    for (std::uint32_t m = 0; m < n; ++m) seen = seen || list[m] == vertex;
    if (!seen) list[n++] = vertex;
  }
  return n;
}
