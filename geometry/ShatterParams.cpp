#include "geometry/ShatterParams.h"

// The fields a caller must set start at 0 as well, so that a request copied
// before it is complete never carries indeterminate values.
zov_shatter_params::zov_shatter_params()
    : mesh(nullptr),
      outPoints(nullptr),
      numShards(0),
      numPoints(0),
      pathPoints(nullptr),
      numPathPoints(0),
      numGivenPoints(0),
      givenPoints(nullptr),
      noise(0.0),
      numRings(0),
      minRings(0),
      numCenters(0),
      radius(0.0),
      minRadius(0.0),
      radialAxis(0),
      seed(0),
      keepInside(0),
      shatterStyle(0) {}
