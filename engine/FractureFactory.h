#pragma once

// The factory's fracture-body and joint operations. A created object belongs
// to the caller: a fracture body until it is added to the world, a joint
// until it is handed to a fracture body, which owns it from then on.

#include "engine/bodies/DynamicStress.h"
#include "engine/fracture/FractureBody.h"

/// A new, empty fracture body (kind 5, no pieces, no joints, no cluster
/// tree); null when memory runs out.
FractureBody* createFractureBody();
/// A new joint: empty name, index 0, flags 0, no bodies, break tolerance and
/// energy 0; null when memory runs out.
DynamicStress* createJoint();
/// Takes the body out of theWorld (when there is one: its fragments leave
/// the world with it and its pieces become world bodies), deletes its joints
/// and fragments, deletes the body and clears *body. Nothing for a null
/// address; a null body only clears the pointer.
void deleteFractureBody(FractureBody** body);
/// The same through a reference to the caller's pointer.
void deleteFractureBody(FractureBody*& body);
/// Clears *joint and nothing else: a joint belongs to the fracture body that
/// holds it and dies with it. A joint never handed to a fracture body is
/// deleted by its maker.
void deleteJoint(DynamicStress** joint);
/// The same through a reference to the caller's pointer.
void deleteJoint(DynamicStress*& joint);
