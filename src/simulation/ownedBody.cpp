#include "src/simulation/ownedBody.h"

#include <algorithm>
#include <vector>

#include "engine/BodyFactory.h"
#include "engine/PublicWorld.h"
#include "engine/fracture/FractureBody.h"
#include "platform/ModuleState.h"

namespace {

/// Every body an OwnedBody holds, in the order they were taken.
std::vector<HardBody*>& ownedBodies() {
  static std::vector<HardBody*> bodies;
  return bodies;
}
const zov::platform::ModuleStateReset g_ownedBodiesReset([] { ownedBodies().clear(); });

}  // namespace

void OwnedBody::reset(HardBody* body) {
  if (body == held) return;
  if (held != nullptr) {
    auto& bodies = ownedBodies();
    bodies.erase(std::remove(bodies.begin(), bodies.end(), held), bodies.end());
    // A fracture body that takes its motion from the body must not reach it
    // once it is gone.
    for (HardBody* other : bodies)
      if (other->getType() == kFractureBody) {
        auto* fracture = static_cast<FractureBody*>(other);
        if (fracture->getAnimBody() == held) fracture->setAnimBody(nullptr);
      }
    deleteBody(&held);
  }
  held = body;
  if (held != nullptr) ownedBodies().push_back(held);
}

HardBody* OwnedBody::release() {
  HardBody* body = held;
  if (held != nullptr) {
    auto& bodies = ownedBodies();
    bodies.erase(std::remove(bodies.begin(), bodies.end(), held), bodies.end());
    held = nullptr;
  }
  return body;
}

void destroyWorldKeepingOwnedBodies() {
  if (theWorld == nullptr) return;
  // Fracture bodies first: the pieces they file go with the others.
  for (HardBody* body : ownedBodies())
    if (body->getType() == kFractureBody) theWorld->removeBody(body);
  for (HardBody* body : ownedBodies())
    if (body->getType() != kFractureBody) theWorld->removeBody(body);
  deleteWorld(&theWorld);
}
