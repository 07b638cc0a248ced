#pragma once

#include <maya/MDagPath.h>
#include <maya/MObject.h>

#include "engine/PrivateWorld.h"
#include "engine/PublicWorld.h"

class rigidBodyNode;

/// Percentage of the reference mass at which secondary cracks start.
inline constexpr int kSecondaryCrackPercent = 5;

/// The path of the node two levels above a rigid body node: its transform's
/// parent, the transform that groups the pieces. False at the top.
bool pieceGroupPath(const MObject& piece, MDagPath& group);

// What the fracture layer's files share: the world as the engine made it,
// and the unlocking of a piece for the time an operation changes it.

/// theWorld as the private world the factory makes; null without a world.
inline PrivateWorld* privateWorld() { return static_cast<PrivateWorld*>(theWorld); }

/// A piece of a fracture body stays locked, node and parameters; an
/// operation that changes one unlocks it for its own lifetime.
class UnlockedPiece {
 public:
  explicit UnlockedPiece(rigidBodyNode& piece);
  ~UnlockedPiece();
  UnlockedPiece(const UnlockedPiece&) = delete;
  UnlockedPiece& operator=(const UnlockedPiece&) = delete;

 private:
  rigidBodyNode& node;
};
