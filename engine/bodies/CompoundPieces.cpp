#include "engine/bodies/CompoundPieces.h"

#include "engine/bodies/HardBody.h"

const EngineList<PrivateHardBody*>* compoundPiecesOf(HardBody* body) {
  if (body == nullptr || body->getType() != kFractureBody) return nullptr;
  const auto* compound = dynamic_cast<const CompoundPieces*>(body);
  return compound != nullptr ? &compound->getCompoundPieces() : nullptr;
}
