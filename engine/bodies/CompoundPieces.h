#pragma once

#include "geometry/EngineList.h"

class HardBody;
class PrivateHardBody;

/// What the collision code asks of a compound (fracture) body: its joined
/// pieces, in list order. The pair tests walk a body of kind kFractureBody
/// piece by piece through this; a fracture body that does not offer it has
/// no pieces to test. The fracture body derives from it.
class CompoundPieces {
 public:
  CompoundPieces(const CompoundPieces&) = delete;
  CompoundPieces& operator=(const CompoundPieces&) = delete;

  /// The joined pieces; the list and the pieces stay the body's. The pair
  /// tests only read the list (with cursors of their own), so several
  /// threads may walk it at once while nothing changes it.
  virtual const EngineList<PrivateHardBody*>& getCompoundPieces() const = 0;

 protected:
  CompoundPieces() = default;
  virtual ~CompoundPieces() = default;
};

/// The pieces of `body` when it is a fracture body that offers them, else
/// null (also for a null body).
const EngineList<PrivateHardBody*>* compoundPiecesOf(HardBody* body);
