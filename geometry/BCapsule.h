#pragma once

#include <cstdint>

#include "geometry/ShapeRecords.h"
#include "geometry/VolumeOwnership.h"
#include "math/MgcMatrix3.h"
#include "math/MgcVector3.h"

/// A capsule as a bounding volume: a `ZOVcapsule` record, lent by the caller
/// or owned, with two unit vectors u and w that complete the capsule axis to a
/// right-handed frame (u, w, axis).
///
/// Not copyable: a copy would share an owned record and free it twice.
class BCapsule {
 public:
  /// No record (ownership kNoRecord), u and w zero.
  BCapsule() = default;
  /// Wraps the caller's record (ownership kLentRecord) and derives u and w
  /// from its axis; null leaves the volume empty.
  explicit BCapsule(ZOVcapsule* capsule);
  /// Frees an owned record.
  virtual ~BCapsule();

  /// Replaces the record by a new one with zero centre, axis, length and
  /// radius, owned by the volume (an owned old record is freed, a lent one
  /// dropped). False when allocation fails; the volume then has no record.
  bool createCap();
  /// Frees an owned record, drops a lent one; the volume is empty afterwards.
  void deleteCap();
  /// The record, null when there is none.
  ZOVcapsule* getCap() const { return capsule_.get(); }
  /// kNoRecord, kLentRecord or kOwnedRecord.
  std::int32_t getOwnership() const { return capsule_.ownership(); }

  /// Copies centre, axis, length and radius of `source`, creating an owned
  /// record first when there is none, and derives u and w again. False only
  /// when that allocation fails.
  bool init(const ZOVcapsule& source);

  /// The capsule centre; the origin without a record.
  Mgc::MgcVector3 getCenter() const;
  void setCenter(const Mgc::MgcVector3& center);
  void translate(const Mgc::MgcVector3& t);
  /// 0 gives u, 1 gives w, any other value the capsule axis.
  Mgc::MgcVector3 getAxis(int i) const;
  /// length / 2 + radius: the distance from the centre to the farthest tip.
  double getRadio() const;
  /// The volume measure of the engine's volumes for a capsule:
  /// 4 x length x radius^2.
  double getVolumen() const;
  /// The full length between the two sphere centres.
  double getSize() const;
  /// Writes 4 points and returns 4: the two tips centre -/+ axis (length/2 +
  /// radius), then centre + u radius and centre + w radius; 0 and nothing
  /// written without a record.
  std::uint32_t computeVertexes(Mgc::MgcVector3* out) const;

  /// Into `out`: centre' = R (s . centre) + t, axis' = R axis, length and
  /// radius times the largest |s_i|. `out` may be this volume. Nothing
  /// without a record.
  void transformSRT(const Mgc::MgcVector3& t, const Mgc::MgcMatrix3& R, const Mgc::MgcVector3& s, BCapsule& out) const;
  /// As transformSRT with centre' = s . (R (centre + t)).
  void transformTRS(const Mgc::MgcVector3& t, const Mgc::MgcMatrix3& R, const Mgc::MgcVector3& s, BCapsule& out) const;

 private:
  /// u and w from the record's axis: an orthonormal completion when its
  /// squared length exceeds the tolerance, else both equal to the axis.
  void updateFrame();

  VolumeRecord<ZOVcapsule> capsule_;
  Mgc::MgcVector3 u_;
  Mgc::MgcVector3 w_;
};
