#include "engine/bodies/ZovCrackerBody.h"

ZovCrackerBody::ZovCrackerBody() : CapsuleBody(kCrackerBody) {}
