#pragma once

#include <cstdint>
#include <memory>

#include "math/MgcVector3.h"

class CollisionPair;
class HardBody;

/// Most points a manifold holds.
constexpr std::uint32_t kMaxManifoldPoints = 32;

/// `ContactManifold::flags` bits.
/// Set when the points are rebuilt or counted into a solve; cleared by an
/// append and when the impulse limit is exceeded.
constexpr std::uint32_t kManifoldCurrent = 0x1;
/// The impulse limit applies.
constexpr std::uint32_t kManifoldLimited = 0x4;
/// Cleared whenever the points are rebuilt.
constexpr std::uint32_t kManifoldStale = 0x8;

/// The resting contacts of one body B: where B lies on its supports, seen
/// from B's side, with the points kept in the frames of both bodies so that
/// later steps can rebuild their world positions. Pooled by the collision
/// manager. The bodies are not owned; the block of point arrays is, and is
/// freed with the record.
class ContactManifold {
 public:
  /// Everything zero, no point blocks.
  ContactManifold() = default;
  ContactManifold(const ContactManifold&) = delete;
  ContactManifold& operator=(const ContactManifold&) = delete;

  std::uint32_t flags = 0;
  /// The body the manifold belongs to.
  HardBody* body = nullptr;
  std::uint32_t pointCount = 0;
  /// The count after the last filtering or marking.
  std::uint32_t keptCount = 0;
  double impulseLimit = 0.0;
  // The per-point arrays below hold pointCapacity() entries each, all in one
  // block the manifold owns (none before its first points): sized to the
  // points it holds, grown up to kMaxManifoldPoints, kept while pooled.

  /// A point marked 1 is ignored by the impulse pass and removed by compaction.
  std::uint16_t* marks = nullptr;
  /// Points in the support's frame.
  Mgc::MgcVector3* supportPoints = nullptr;
  /// Points in B's frame.
  Mgc::MgcVector3* bodyPoints = nullptr;
  /// The body each point lies on.
  HardBody** supports = nullptr;
  Mgc::MgcVector3* worldPoints = nullptr;
  /// Unit normals from B towards the support.
  Mgc::MgcVector3* normals = nullptr;
  /// Velocity at each point (the rebuild rule of rebuildPoint).
  Mgc::MgcVector3* velocities = nullptr;

  /// Points each per-point array holds now.
  std::uint32_t pointCapacity() const { return capacity; }

  /// Sets the manifold from a prepared pair (points in its bodies' frames)
  /// as seen from `b`: the other body is every point's support and the
  /// normals point from `b` towards it. False, with the manifold unchanged,
  /// when `b` is not one of the pair's bodies or a point block cannot be had.
  bool merge(const CollisionPair& pair, HardBody* b);
  /// Rebuilds every world position and velocity from the bodies' current
  /// states; kept count := count, marks cleared. False without points ever
  /// set.
  bool reset();
  /// Appends the points of another manifold of the same body, reducing first
  /// whenever this one fills up. False when this one is full already or the
  /// other belongs to another body.
  bool addPoints(const ContactManifold& other);
  /// With 16 points or more, keeps those of even index: floor(count / 2) of
  /// them, in order.
  void reduce();
  /// Copies one byte per point into the marks; kept count := the number of
  /// zero marks, which is returned (0 for null marks).
  std::uint32_t countUnmarked(const std::uint8_t* byteMarks);
  /// When two normals are opposed (the most opposed pair below -1e-5), keeps
  /// only the side whose summed point velocity is larger: the points whose
  /// normal lies within 90 degrees of that side's normal.
  void keepDominantSide();
  /// Keeps the points whose normal n has |n . d| > 0.98.
  void keepAlignedNormals(const Mgc::MgcVector3& d);
  /// Removes the points marked 1, keeping the order; marks cleared.
  void compact();
  /// The world position the solver uses for each point: the midpoint of the
  /// point placed by its support and by B, 0.5 (R_s p_s + x_s + R_B p_B +
  /// x_B), with the bodies' current states. `out` takes pointCount entries.
  void midpoints(Mgc::MgcVector3* out) const;

 private:
  /// Makes every per-point array hold at least n points (at most
  /// kMaxManifoldPoints), keeping what they hold; false when memory runs out.
  bool ensureCapacity(std::uint32_t n);
  /// World position of point k from its support's frame, and its velocity:
  /// the support's rigid velocity there, or B's when the support's mesh
  /// carries per-vertex data.
  void rebuildPoint(std::uint32_t k);
  /// Keeps the points for which `keep` is true, in order.
  template <typename Keep>
  void keepPoints(Keep&& keep);

  /// The block of every per-point array, for `capacity` points.
  std::unique_ptr<unsigned char[]> block;
  std::uint32_t capacity = 0;
};
