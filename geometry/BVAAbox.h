#pragma once

#include <cstdint>

#include "geometry/ShapeRecords.h"
#include "geometry/VolumeOwnership.h"
#include "math/MgcMatrix3.h"
#include "math/MgcVector3.h"

/// An axis-aligned box as a bounding volume: a `ZOVAAbox` record (minimum and
/// maximum corner), lent by the caller or owned.
///
/// Not copyable: a copy would share an owned record and free it twice.
class BVAAbox {
 public:
  /// No record (ownership kNoRecord).
  BVAAbox() = default;
  /// Wraps the caller's record (ownership kLentRecord); null leaves the volume empty.
  explicit BVAAbox(ZOVAAbox* box);
  /// Frees an owned record.
  virtual ~BVAAbox();

  /// Replaces the record by a new one with both corners at the origin, owned
  /// by the volume (an owned old record is freed, a lent one dropped). False
  /// when allocation fails; the volume then has no record.
  bool createBox();
  /// Frees an owned record, drops a lent one; the volume is empty afterwards.
  void deleteBox();
  /// The record, null when there is none.
  ZOVAAbox* getBox() const { return box_.get(); }
  /// kNoRecord, kLentRecord or kOwnedRecord.
  std::int32_t getOwnership() const { return box_.ownership(); }

  /// Copies `min` and `max` of `source`, creating an owned record first when
  /// there is none. False only when that allocation fails.
  bool init(const ZOVAAbox& source);

  /// (min + max) / 2; the origin without a record.
  Mgc::MgcVector3 getCenter() const;
  /// Moves the box to the centre, keeping its size.
  void setCenter(const Mgc::MgcVector3& center);
  void translate(const Mgc::MgcVector3& t);
  /// Unit axis i: 1 gives y, 2 gives z, any other value x.
  Mgc::MgcVector3 getAxis(int i) const;
  /// Length of the half diagonal (max - min) / 2.
  double getRadio() const;
  /// Product of the side lengths.
  double getVolumen() const;
  /// Writes the 8 corners in the order of BVbox::computeVertexes (unit axes,
  /// half sizes) and returns 8; 0 and nothing written without a record.
  std::uint32_t computeVertexes(Mgc::MgcVector3* out) const;

  /// Into `out`: the centre c goes to R (s . c) + t, the half size
  /// |s . max - s . min| / 2 is kept along the frame axes (not rotated), and
  /// out = [c' - h, c' + h]. `out` may be this volume. Nothing without a record.
  void transformSRT(const Mgc::MgcVector3& t, const Mgc::MgcMatrix3& R, const Mgc::MgcVector3& s, BVAAbox& out) const;
  /// As transformSRT with the centre going to s . (R (c + t)).
  void transformTRS(const Mgc::MgcVector3& t, const Mgc::MgcMatrix3& R, const Mgc::MgcVector3& s, BVAAbox& out) const;

 private:
  /// |s . max - s . min| / 2.
  Mgc::MgcVector3 scaledHalfSize(const Mgc::MgcVector3& s) const;

  VolumeRecord<ZOVAAbox> box_;
};
