#pragma once

#include "geometry/ShapeRecords.h"
#include "math/MgcVector3.h"

// Reference answers about oriented boxes, by clipping edges against slabs.
namespace zovtest {

/// Whether the segment ab meets the solid box (clipped against its slabs).
bool segmentMeetsBox(const Mgc::MgcVector3& a, const Mgc::MgcVector3& b, const ZOVbox& box);

/// Whether two solid boxes meet: an edge of one meets the other.
bool boxesMeet(const ZOVbox& a, const ZOVbox& b);

/// The eight corners of a box, computed from its axes and extents.
void boxCorners(const ZOVbox& box, Mgc::MgcVector3 corners[8]);

}  // namespace zovtest
