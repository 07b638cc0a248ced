// The world's queries: overlaps and distances of two bodies, whether a body
// is the world's, bodies by name, and the trace of the world's state.

#include <cstring>

#include "engine/EngineTrace.h"
#include "engine/PrivateWorld.h"
#include "engine/bodies/DynamicStress.h"
#include "engine/bodies/HardBody.h"
#include "engine/bodies/MeshVolumes.h"
#include "engine/fracture/FractureBody.h"
#include "geometry/BoxFits.h"
#include "geometry/OverlapTests.h"
#include "math/Tolerances.h"

using Mgc::MgcVector3;

// ---- Queries ------------------------------------------------------------------

bool PrivateWorld::bodiesOverlap(HardBody* a, HardBody* b) {
  if (a == nullptr || b == nullptr) return false;
  ZOVbox boxA = a->getBbox();
  ZOVbox boxB = b->getBbox();
  boxA.extents *= 0.5;
  boxB.extents *= 0.5;
  return obbOverlap(boxA, boxB);
}

double PrivateWorld::bodyDistance(HardBody* a, HardBody* b, std::uint32_t& vertexA, std::uint32_t& vertexB,
                                  std::uint32_t& faceA, std::uint32_t& faceB, MgcVector3& pointA, MgcVector3& pointB) {
  if (a == nullptr || b == nullptr) return zov::kMaxFloat;
  const BVmesh* meshA = boundingMeshOf(a);
  const BVmesh* meshB = boundingMeshOf(b);
  if (meshA == nullptr || meshB == nullptr) return zov::kMaxFloat;
  return closestMeshFaces(*meshA, *meshB, vertexA, vertexB, faceA, faceB, pointA, pointB);
}

bool PrivateWorld::containsBody(HardBody* body) {
  if (body == nullptr) return false;
  if (body->getType() == kBarrierBody) return isOn(body, kOnBarriers);
  return isOn(body, kOnDynamic) || isOn(body, kOnInactive) || isOn(body, kOnStatic);
}

HardBody* PrivateWorld::findBodyByName(const char* name) {
  if (name == nullptr) return nullptr;
  for (const EngineList<HardBody*>* list : {&dynamicBodies, &inactiveBodies, &staticBodies}) {
    for (auto* node = list->getFirst(); node != nullptr; node = node->next) {
      HardBody* body = node->value;
      if (body != nullptr && std::strncmp(body->getShape().name, name, kBodyNameLength) == 0) return body;
    }
  }
  return nullptr;
}

std::uint32_t PrivateWorld::countSubBodies() {
  std::uint32_t count = static_cast<std::uint32_t>(numDynamicBodies + numStaticBodies);
  for (const EngineList<HardBody*>* list : {&dynamicBodies, &inactiveBodies, &staticBodies}) {
    for (auto* node = list->getFirst(); node != nullptr; node = node->next) {
      if (node->value->getType() == kFractureBody) count += static_cast<FractureBody*>(node->value)->getNJointBodies();
    }
  }
  return count;
}

void PrivateWorld::dumpState() {
  for (const EngineList<HardBody*>* list : {&staticBodies, &dynamicBodies}) {
    for (auto* node = list->getFirst(); node != nullptr; node = node->next) {
      HardBody* body = node->value;
      if (body->getType() != kFractureBody) {
        engineTrace(g_engineTraceStream, "name %s index %d rbd\n", body->getShape().name, body->getShape().id);
        continue;
      }
      auto* compound = static_cast<FractureBody*>(body);
      engineTrace(g_engineTraceStream, "name %s index %d fbody\n", body->getShape().name, body->getShape().id);
      for (auto* piece = compound->getPieces().getFirst(); piece != nullptr; piece = piece->next) {
        engineTrace(g_engineTraceStream, "name %s index %d connect\n", piece->value->getShape().name,
                    piece->value->getShape().id);
      }
      for (auto* loose = compound->getDisconnectedBodies().getFirst(); loose != nullptr; loose = loose->next) {
        engineTrace(g_engineTraceStream, "name %s index %d disconnect\n", loose->value->getShape().name,
                    loose->value->getShape().id);
      }
      if (list != &dynamicBodies) continue;
      for (auto* joint = compound->getActiveJoints().getFirst(); joint != nullptr; joint = joint->next) {
        const DynamicStress* j = joint->value;
        engineTrace(g_engineTraceStream, "joint %s index %d stress %.24f\n", j->getName(), j->getIndex(),
                    j->get_break_tolerance());
        engineTrace(g_engineTraceStream, "parent %s \n",
                    j->getPNode() != nullptr ? j->getPNode()->getShape().name : "");
        engineTrace(g_engineTraceStream, "child %s \n", j->getCNode() != nullptr ? j->getCNode()->getShape().name : "");
      }
    }
  }
  for (auto* node = inactiveBodies.getFirst(); node != nullptr; node = node->next) {
    engineTrace(g_engineTraceStream, "name %s index %d rbd off\n", node->value->getShape().name,
                node->value->getShape().id);
  }
}
