#pragma once

#include <cstdint>

#include "engine/collision/RetiredBlocks.h"
#include "math/MgcVector3.h"

/// Most contacts a contact set holds.
constexpr std::uint32_t kMaxPairContacts = 32;
/// Contacts reduceToExtremes keeps.
constexpr std::uint32_t kExtremeContacts = 6;

/// The narrow phase's record of one contact's features: a face of each body,
/// or zov::kNoIndex for a shape without faces.
struct ContactFeature {
  std::uint32_t firstFeature = 0;
  std::uint32_t secondFeature = 0;
};

class CollisionPair;

/// A full-size contact set for the narrow phase to fill before a pair keeps
/// what it found: one per thread slot.
struct ContactScratch {
  Mgc::MgcVector3 points[kMaxPairContacts];
  Mgc::MgcVector3 normals[kMaxPairContacts];
  double depths[kMaxPairContacts] = {};
  ContactFeature features[kMaxPairContacts];
  /// Whether a pair holds the set now.
  bool lent = false;
};

/// A pair's contact marks, one byte per contact it has room for; iterates
/// over all of them.
struct ContactMarks {
  std::uint8_t* values = nullptr;
  std::uint32_t size = 0;

  operator std::uint8_t*() const { return values; }
  std::uint8_t* begin() const { return values; }
  std::uint8_t* end() const { return values + size; }
};

/// A view of the parallel contact arrays of a pair, or of a scratch set: at
/// most kMaxPairContacts contacts, each with a point, a unit normal pointing
/// from the second shape towards the first, a depth (negative in
/// penetration) and its feature record. The arrays and the count belong to
/// whoever made the view. A view of a pair's arrays grows them as it
/// appends; a view of fixed arrays holds kMaxPairContacts.
struct ContactSet {
  Mgc::MgcVector3* points = nullptr;
  Mgc::MgcVector3* normals = nullptr;
  double* depths = nullptr;
  ContactFeature* features = nullptr;
  std::uint32_t* count = nullptr;
  /// Contacts the arrays hold now.
  std::uint32_t capacity = kMaxPairContacts;
  /// The pair whose arrays these are, asked for room when they are full;
  /// null for fixed arrays.
  CollisionPair* owner = nullptr;

  std::uint32_t size() const { return *count; }

  /// Appends one contact; false, with nothing written, when the set is full.
  bool append(const Mgc::MgcVector3& point, const Mgc::MgcVector3& normal, double depth, std::uint32_t firstFeature,
              std::uint32_t secondFeature);
  /// Makes room for `incoming` new contacts: when the count plus `incoming`
  /// reaches kMaxPairContacts, the set is first cut to its extreme points
  /// (reduceToExtremes). Returns how many of the new contacts then fit.
  std::uint32_t makeRoom(std::uint32_t incoming);
  /// The contact set seen from the other shape: each point moved by -depth
  /// along its normal, the normal reversed and the two feature ids exchanged.
  void flip();

  /// For i < j, both kept, with normals opposed (n_i . n_j < -1e-5): j goes
  /// when depth_i > depth_j, else i (the deeper, or the earlier on equal
  /// depths), and the scan moves on to the next i.
  void removeOpposing();
  /// For i < j, both kept, closer than 1e-5 (squared distance): the later one
  /// goes unless it is deeper, in which case i goes and the scan moves on.
  void removeDuplicates();
  /// Contacts whose depth lies more than 1.1 population standard deviations
  /// from the mean depth go; equal depths keep every contact.
  void removeDepthOutliers();
  /// Keeps the kExtremeContacts extreme points (selectExtremePoints), moved
  /// to the front in the order chosen.
  void reduceToExtremes();
  /// Keeps the contacts whose mark is 0, in order.
  void compact(const std::uint8_t* marks);
  /// Keeps the contacts listed in `kept` (ascending indices), in that order.
  void keep(const std::uint32_t* kept, std::uint32_t keptCount);
};

/// Marks, for a depth array of n values, the ones lying more than 1.1
/// population standard deviations from the mean (the variance, taken about
/// the mean, never below 0). Returns whether any was marked.
bool markDepthOutliers(const double* depths, std::uint32_t n, std::uint8_t* marks);
