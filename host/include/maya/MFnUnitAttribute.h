#pragma once

#include <maya/MAngle.h>
#include <maya/MDistance.h>
#include <maya/MFnAttribute.h>
#include <maya/MTime.h>
#include <zovhost/FunctionSetOf.h>

/// Function set for attributes holding a time, a distance or an angle. Values
/// are held in the host's internal units (ticks, centimetres, radians).
class MFnUnitAttribute : public zovhost::FunctionSetOf<MFnAttribute, MFn::kUnitAttribute> {
 public:
  enum Type { kInvalid, kAngle, kDistance, kTime, kLast };

  using FunctionSetOf::FunctionSetOf;

  /// defaultValue is in internal units for distance and angle, and in the
  /// user-interface unit for time.
  MObject create(const MString& fullName, const MString& briefName, Type unitType, double defaultValue = 0.0,
                 MStatus* status = nullptr);
  MObject create(const MString& fullName, const MString& briefName, const MTime& defaultValue,
                 MStatus* status = nullptr);
  MObject create(const MString& fullName, const MString& briefName, const MDistance& defaultValue,
                 MStatus* status = nullptr);
  MObject create(const MString& fullName, const MString& briefName, const MAngle& defaultValue,
                 MStatus* status = nullptr);

  Type unitType(MStatus* status = nullptr) const;
  MStatus setDefault(double value);
  MStatus setDefault(const MTime& value);
  MStatus setDefault(const MDistance& value);
  MStatus setDefault(const MAngle& value);
  MStatus setMin(double value);
  MStatus setMax(double value);
};
