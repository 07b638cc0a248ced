#include "engine/FractureFactory.h"

#include <new>

#include "engine/PublicWorld.h"

FractureBody* createFractureBody() { return new (std::nothrow) FractureBody; }

DynamicStress* createJoint() { return new (std::nothrow) DynamicStress; }

void deleteFractureBody(FractureBody** body) {
  if (body == nullptr) return;
  FractureBody* doomed = *body;
  if (doomed != nullptr) {
    if (theWorld != nullptr) theWorld->removeBody(doomed);
    doomed->deleteAllJoints();
    delete doomed;
  }
  *body = nullptr;
}

void deleteJoint(DynamicStress** joint) {
  if (joint != nullptr) *joint = nullptr;
}

void deleteFractureBody(FractureBody*& body) { deleteFractureBody(&body); }

void deleteJoint(DynamicStress*& joint) { deleteJoint(&joint); }
