#pragma once

#include <functional>

class rigidBodyNode;

/// Whether a fracture piece is in a cluster, and whether that cluster is
/// selected.
enum class PieceCluster { kNone, kUnselected, kSelected };

/// What a rigid body node asks of the fracture body it is a piece of. The
/// fracture body node implements it and hands itself to each piece it takes
/// (rigidBodyNode::setFractureOwner), so that the body node needs nothing of
/// the fracture layer above it.
class PieceOwner {
 public:
  /// Whether the fracture body moves with an animated parent, which then
  /// drives its pieces.
  virtual bool hasAnimatedParentNode() const = 0;
  /// Whether the pieces show their stress colours.
  virtual bool displaysStress() const = 0;
  /// Whether the fracture body node is selected.
  virtual bool isSelected() const = 0;
  /// The cluster the piece is in, as it shows.
  virtual PieceCluster clusterOf(const rigidBodyNode& piece) const = 0;
  /// Brings the fracture body's settings that its pieces simulate by up to
  /// date: breaking, bouncing and being on.
  virtual void pullPieceSettings() = 0;
  /// Takes the piece out of the fracture body, as when its body goes; the
  /// flag is not read.
  virtual void removePiece(rigidBodyNode* piece, bool flag) = 0;
  /// Takes out, as removePiece does, a piece whose node is being deleted,
  /// keeping what that does to the scene's nodes so that the piece comes
  /// back with its links and joint nodes when the deletion is undone
  /// (takeBackPiece, as its body is made again).
  virtual void removeDeletedPiece(rigidBodyNode& piece) = 0;
  /// Makes the piece's engine body again through `make` (the piece's own
  /// making, which frees the old body), the fracture body, which reaches the
  /// old body, letting it go first. Answers what `make` answers.
  virtual bool remakePiece(rigidBodyNode& piece, const std::function<bool()>& make) = 0;
  /// A piece that left the fracture body because no body could be made of
  /// its shape, whose body is about to be made again through `make`: comes
  /// back when it can, and answers true with `made` holding what `make`
  /// answered; false, with nothing done, when it cannot.
  virtual bool takeBackPiece(rigidBodyNode& piece, const std::function<bool()>& make, bool& made) = 0;

 protected:
  PieceOwner() = default;
  ~PieceOwner() = default;
  PieceOwner(const PieceOwner&) = default;
  PieceOwner& operator=(const PieceOwner&) = default;
};
