#pragma once

#include <cstdint>
#include <memory>

#include "math/MgcVector3.h"

class HardBody;

/// Most points a manifold holds.
constexpr std::uint32_t kMaxManifoldPoints = 32;

/// The resting contacts of one body B: where B lies on its supports, seen
/// from B's side, with the points kept in the frames of both bodies so that
/// later steps can rebuild their world positions. Pooled by the collision
/// manager. The bodies are not owned; the two point blocks are, and are freed
/// with the record.
class ContactManifold {
 public:
  /// Everything zero, no point blocks.
  ContactManifold() = default;
  ContactManifold(const ContactManifold&) = delete;
  ContactManifold& operator=(const ContactManifold&) = delete;

  /// A point marked 1 is ignored by the impulse pass and removed by compaction.
  std::uint16_t marks[kMaxManifoldPoints] = {};
  std::uint32_t flags = 0;
  /// The body the manifold belongs to.
  HardBody* body = nullptr;
  std::uint32_t pointCount = 0;
  /// The count after the last filtering or marking.
  std::uint32_t keptCount = 0;
  /// kMaxManifoldPoints points in the support's frame, allocated on first use.
  std::unique_ptr<Mgc::MgcVector3[]> supportPoints;
  /// kMaxManifoldPoints points in B's frame, allocated on first use.
  std::unique_ptr<Mgc::MgcVector3[]> bodyPoints;
  double impulseLimit = 0.0;
  /// The body each point lies on.
  HardBody* supports[kMaxManifoldPoints] = {};
  Mgc::MgcVector3 worldPoints[kMaxManifoldPoints];
  /// Unit normals from B towards the support.
  Mgc::MgcVector3 normals[kMaxManifoldPoints];
  Mgc::MgcVector3 velocities[kMaxManifoldPoints];
};
