#pragma once

#include <cstdint>

#include "engine/collision/narrowphase/HullView.h"
#include "geometry/ShapeRecords.h"
#include "math/MgcVector3.h"
#include "math/Tolerances.h"

class BVbox;

// Support functions of the narrow phase's shapes and of the difference shape
// B - A of a pair. Support searches of indexed shapes (mesh vertices, box
// corners) start from a cached index so that a pair that moves little needs a
// pass or two; a capsule has no index and answers from the direction alone.

/// v scaled to unit length; a vector no longer than the unitising tolerance
/// (1e-6) stays as it is.
inline Mgc::MgcVector3 unitized(Mgc::MgcVector3 v) {
  v.Unitize(zov::kUnitizeTolerance);
  return v;
}

/// One support step of the difference shape B - A: A's point furthest along a
/// direction d and B's point furthest along -d, with their indices. Their
/// difference is the point of B - A furthest along -d.
struct SupportPair {
  std::uint32_t vertexA = 0;
  std::uint32_t vertexB = 0;
  Mgc::MgcVector3 pointA;
  Mgc::MgcVector3 pointB;
  Mgc::MgcVector3 point() const { return pointB - pointA; }
};

/// The support pairs of the difference shape of two convex shapes.
class PairSupport {
 public:
  virtual ~PairSupport() = default;
  /// The support pair along d, A's search starting at startA and B's at startB.
  virtual SupportPair support(const Mgc::MgcVector3& d, std::uint32_t startA, std::uint32_t startB) const = 0;
  /// The pair made of vertices a and b (B's point along -d when B has no
  /// vertices). A vertex index out of range is replaced by that shape's
  /// support along d (-d for B).
  virtual SupportPair pairAt(std::uint32_t a, std::uint32_t b, const Mgc::MgcVector3& d) const = 0;
  /// Whether B's support points are indexed vertices; otherwise (a capsule)
  /// two support pairs are the same when their directions agree.
  virtual bool indexedB() const = 0;
  virtual Mgc::MgcVector3 centerA() const = 0;
  virtual Mgc::MgcVector3 centerB() const = 0;
};

/// A hull mesh as a support shape.
class MeshSide {
 public:
  static constexpr bool kIndexed = true;
  explicit MeshSide(const HullView& hull) : hull_(hull) {}
  std::uint32_t support(std::uint32_t start, const Mgc::MgcVector3& d) const { return hull_.support(start, d); }
  bool valid(std::uint32_t index) const { return index < hull_.vertexCount(); }
  Mgc::MgcVector3 point(std::uint32_t index, const Mgc::MgcVector3& /*d*/) const { return hull_.vertex(index); }
  Mgc::MgcVector3 center() const { return hull_.center(); }

 private:
  const HullView& hull_;
};

/// An oriented box as a support shape: its eight corners in the order of
/// BVbox::computeVertexes.
class BoxSide {
 public:
  static constexpr bool kIndexed = true;
  explicit BoxSide(const BVbox& box);
  /// The corner furthest along d; the lower index on equal heights.
  std::uint32_t support(std::uint32_t start, const Mgc::MgcVector3& d) const;
  bool valid(std::uint32_t index) const { return index < 8; }
  Mgc::MgcVector3 point(std::uint32_t index, const Mgc::MgcVector3& /*d*/) const { return corners_[index & 7u]; }
  Mgc::MgcVector3 center() const { return center_; }

 private:
  Mgc::MgcVector3 corners_[8];
  Mgc::MgcVector3 center_;
};

/// A capsule as a support shape; its index is carried along unchanged.
class CapsuleSide {
 public:
  static constexpr bool kIndexed = false;
  explicit CapsuleSide(const ZOVcapsule& capsule) : capsule_(capsule) {}
  std::uint32_t support(std::uint32_t start, const Mgc::MgcVector3& /*d*/) const { return start; }
  bool valid(std::uint32_t /*index*/) const { return true; }
  Mgc::MgcVector3 point(std::uint32_t /*index*/, const Mgc::MgcVector3& d) const;
  Mgc::MgcVector3 center() const { return capsule_.center; }

 private:
  const ZOVcapsule& capsule_;
};

/// The difference shape of two support shapes.
template <class SideA, class SideB>
class SidesSupport final : public PairSupport {
 public:
  SidesSupport(const SideA& a, const SideB& b) : a_(a), b_(b) {}
  SupportPair support(const Mgc::MgcVector3& d, std::uint32_t startA, std::uint32_t startB) const override {
    SupportPair pair;
    const Mgc::MgcVector3 back = -d;
    pair.vertexA = a_.support(startA, d);
    pair.vertexB = b_.support(startB, back);
    pair.pointA = a_.point(pair.vertexA, d);
    pair.pointB = b_.point(pair.vertexB, back);
    return pair;
  }
  SupportPair pairAt(std::uint32_t a, std::uint32_t b, const Mgc::MgcVector3& d) const override {
    SupportPair pair;
    const Mgc::MgcVector3 back = -d;
    pair.vertexA = a_.valid(a) ? a : a_.support(0, d);
    pair.vertexB = b_.valid(b) ? b : b_.support(0, back);
    pair.pointA = a_.point(pair.vertexA, d);
    pair.pointB = b_.point(pair.vertexB, back);
    return pair;
  }
  bool indexedB() const override { return SideB::kIndexed; }
  Mgc::MgcVector3 centerA() const override { return a_.center(); }
  Mgc::MgcVector3 centerB() const override { return b_.center(); }

 private:
  const SideA& a_;
  const SideB& b_;
};
