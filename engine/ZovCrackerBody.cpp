#include "engine/ZovCrackerBody.h"

ZovCrackerBody::ZovCrackerBody() : CapsuleBody(kCrackerBody) {}
