#include "src/ownedBody.h"

#include <algorithm>
#include <vector>

#include "engine/BodyFactory.h"
#include "engine/PublicWorld.h"

namespace {

/// Every body an OwnedBody holds, in the order they were taken.
std::vector<HardBody*>& ownedBodies() {
  static std::vector<HardBody*> bodies;
  return bodies;
}

}  // namespace

void OwnedBody::reset(HardBody* body) {
  if (body == m_body) return;
  if (m_body != nullptr) {
    auto& bodies = ownedBodies();
    bodies.erase(std::remove(bodies.begin(), bodies.end(), m_body), bodies.end());
    deleteBody(&m_body);
  }
  m_body = body;
  if (m_body != nullptr) ownedBodies().push_back(m_body);
}

void destroyWorldKeepingOwnedBodies() {
  if (theWorld == nullptr) return;
  for (HardBody* body : ownedBodies()) theWorld->removeBody(body);
  deleteWorld(&theWorld);
}
