#pragma once

#include <cstdint>

#include "geometry/ShapeRecords.h"
#include "geometry/VolumeOwnership.h"
#include "math/MgcMatrix3.h"
#include "math/MgcVector3.h"

/// An oriented box as a bounding volume: a `ZOVbox` record, lent by the caller
/// or owned. Also the node box of the box trees.
///
/// Not copyable: a copy would share an owned record and free it twice.
class BVbox {
 public:
  /// No record (ownership kNoRecord).
  BVbox() = default;
  /// Wraps the caller's record (ownership kLentRecord); null leaves the volume empty.
  explicit BVbox(ZOVbox* box);
  /// Frees an owned record.
  virtual ~BVbox();

  /// Replaces the record by a new zeroed one that the volume owns (an owned
  /// old record is freed, a lent one dropped). False when allocation fails;
  /// the volume then has no record.
  bool createBox();
  /// Frees an owned record, drops a lent one; the volume is empty afterwards.
  void deleteBox();
  /// The record, null when there is none.
  ZOVbox* getBox() const { return box_.get(); }
  /// kNoRecord, kLentRecord or kOwnedRecord.
  std::int32_t getOwnership() const { return box_.ownership(); }

  /// Copies centre, axes, extents and maxExtent of `source` into the record,
  /// creating an owned one first when there is none. False only when that
  /// allocation fails.
  bool init(const ZOVbox& source);

  /// The box centre; the origin without a record.
  Mgc::MgcVector3 getCenter() const;
  void setCenter(const Mgc::MgcVector3& center);
  void translate(const Mgc::MgcVector3& t);
  /// Box axis i (0, 1 or 2; any other value gives axis 0); zero without a record.
  Mgc::MgcVector3 getAxis(int i) const;
  /// Length of the half-extent vector: the radius of the box's bounding sphere.
  double getRadio() const;
  /// 8 times the product of the half extents.
  double getVolumen() const;
  /// Writes the 8 corners (with a, b, c the axes times their half extents:
  /// a+b+c, a+b-c, a-b-c, a-b+c, then the negatives of the first, fourth,
  /// third and second, each plus the centre) and returns 8; 0 and nothing
  /// written without a record.
  std::uint32_t computeVertexes(Mgc::MgcVector3* out) const;

  /// Scale, rotate, translate into `out`: centre' = R (s . centre) + t,
  /// axes' = R axes, extents' = |s| . extents, maxExtent' = the largest of
  /// them. The box is scaled along its own axes, which is exact for a uniform
  /// scale or a box aligned with the frame. `out` may be this volume. Nothing
  /// without a record.
  void transformSRT(const Mgc::MgcVector3& t, const Mgc::MgcMatrix3& R, const Mgc::MgcVector3& s, BVbox& out) const;
  /// Translate, rotate, scale: centre' = s . (R (centre + t)); axes and extents
  /// as in transformSRT.
  void transformTRS(const Mgc::MgcVector3& t, const Mgc::MgcMatrix3& R, const Mgc::MgcVector3& s, BVbox& out) const;

 private:
  VolumeRecord<ZOVbox> box_;
};
