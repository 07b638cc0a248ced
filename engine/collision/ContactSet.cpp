#include "engine/collision/ContactSet.h"

#include <cmath>

#include "engine/collision/CollisionPair.h"
#include "geometry/CovarianceFit.h"
#include "math/Tolerances.h"

using Mgc::MgcVector3;

namespace {

/// Depths further than this many standard deviations from the mean are
/// outliers.
constexpr double kOutlierDeviations = 1.1;

}  // namespace

bool markDepthOutliers(const double* depths, std::uint32_t n, std::uint8_t* marks) {
  if (n == 0) return false;
  double mean = 0.0;
  for (std::uint32_t i = 0; i < n; ++i) mean += depths[i];
  mean /= n;
  // The variance about the mean rather than the mean of squares minus the
  // squared mean: equal depths then give a deviation no larger than their
  // own rounding, and the variance cannot come out negative.
  double variance = 0.0;
  for (std::uint32_t i = 0; i < n; ++i) variance += (depths[i] - mean) * (depths[i] - mean);
  variance /= n;
  const double deviation = std::sqrt(variance > 0.0 ? variance : 0.0);
  const double low = mean - kOutlierDeviations * deviation;
  const double high = mean + kOutlierDeviations * deviation;
  bool any = false;
  for (std::uint32_t i = 0; i < n; ++i) {
    marks[i] = depths[i] < low || depths[i] > high ? 1 : 0;
    if (marks[i] != 0) any = true;
  }
  return any;
}

bool ContactSet::append(const MgcVector3& point, const MgcVector3& normal, double depth, std::uint32_t firstFeature,
                        std::uint32_t secondFeature) {
  const std::uint32_t i = *count;
  if (i >= kMaxPairContacts) return false;
  if (i >= capacity) {
    if (owner == nullptr || !owner->reserveContacts(i + 1)) return false;
    *this = owner->contactSet();
  }
  points[i] = point;
  normals[i] = normal;
  depths[i] = depth;
  features[i].firstFeature = firstFeature;
  features[i].secondFeature = secondFeature;
  *count = i + 1;
  return true;
}

std::uint32_t ContactSet::makeRoom(std::uint32_t incoming) {
  if (*count + incoming >= kMaxPairContacts) reduceToExtremes();
  const std::uint32_t room = kMaxPairContacts - *count;
  return incoming < room ? incoming : room;
}

void ContactSet::flip() {
  for (std::uint32_t i = 0; i < *count; ++i) {
    points[i] -= normals[i] * depths[i];
    normals[i] = -normals[i];
    const std::uint32_t first = features[i].firstFeature;
    features[i].firstFeature = features[i].secondFeature;
    features[i].secondFeature = first;
  }
}

void ContactSet::removeOpposing() {
  const std::uint32_t n = *count;
  std::uint8_t marks[kMaxPairContacts] = {};
  bool any = false;
  for (std::uint32_t i = 0; i < n; ++i) {
    for (std::uint32_t j = i + 1; j < n && marks[i] == 0; ++j) {
      if (marks[j] != 0 || normals[i].Dot(normals[j]) >= -zov::kTolerance) continue;
      any = true;
      if (depths[i] > depths[j]) {
        marks[j] = 1;
      } else {
        marks[i] = 1;
      }
    }
  }
  if (any) compact(marks);
}

void ContactSet::removeDuplicates() {
  const std::uint32_t n = *count;
  std::uint8_t marks[kMaxPairContacts] = {};
  bool any = false;
  for (std::uint32_t i = 0; i < n; ++i) {
    for (std::uint32_t j = i + 1; j < n && marks[i] == 0; ++j) {
      if (marks[j] != 0 || (points[j] - points[i]).SquaredLength() >= zov::kTolerance) continue;
      any = true;
      if (depths[j] > depths[i]) {
        marks[i] = 1;
      } else {
        marks[j] = 1;
      }
    }
  }
  if (any) compact(marks);
}

void ContactSet::removeDepthOutliers() {
  std::uint8_t marks[kMaxPairContacts] = {};
  if (markDepthOutliers(depths, *count, marks)) compact(marks);
}

void ContactSet::reduceToExtremes() {
  std::uint32_t chosen[kExtremeContacts] = {};
  std::uint32_t wanted = kExtremeContacts;
  selectExtremePoints(points, *count, chosen, wanted);
  keep(chosen, wanted);
}

void ContactSet::compact(const std::uint8_t* marks) {
  std::uint32_t kept[kMaxPairContacts];
  std::uint32_t n = 0;
  for (std::uint32_t i = 0; i < *count; ++i)
    if (marks[i] == 0) kept[n++] = i;
  keep(kept, n);
}

void ContactSet::keep(const std::uint32_t* kept, std::uint32_t keptCount) {
  // The indices ascend, so every move goes towards the front and never over
  // a contact still to be read.
  for (std::uint32_t k = 0; k < keptCount; ++k) {
    const std::uint32_t from = kept[k];
    if (from == k) continue;
    points[k] = points[from];
    normals[k] = normals[from];
    depths[k] = depths[from];
    features[k] = features[from];
  }
  *count = keptCount;
}
