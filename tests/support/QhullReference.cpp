#include "support/QhullReference.h"

#include <algorithm>
#include <cstdio>

extern "C" {
#include <libqhull_r/libqhull_r.h>
}

namespace zovtest {

bool qhullReference(const std::vector<Mgc::MgcVector3>& points, ReferenceHull& hull) {
  std::vector<coordT> coordinates;
  coordinates.reserve(points.size() * 3);
  for (const Mgc::MgcVector3& p : points) coordinates.insert(coordinates.end(), {p.x, p.y, p.z});

  qhT context;
  qhT* qh = &context;
  qh_zero(qh, stderr);
  // "Qt" triangulates the output; "FA" computes the total volume.
  char options[] = "qhull Qt FA";
  const int status =
      qh_new_qhull(qh, 3, static_cast<int>(points.size()), coordinates.data(), False, options, nullptr, stderr);
  bool ok = false;
  if (status == 0) {
    hull.vertexIndices.clear();
    vertexT* vertex;
    FORALLvertices hull.vertexIndices.push_back(static_cast<std::uint32_t>(qh_pointid(qh, vertex->point)));
    std::sort(hull.vertexIndices.begin(), hull.vertexIndices.end());
    hull.volume = qh->totvol;
    ok = true;
  }
  qh_freeqhull(qh, !qh_ALL);
  int currentLong = 0;
  int totalLong = 0;
  qh_memfreeshort(qh, &currentLong, &totalLong);
  return ok;
}

}  // namespace zovtest
