#pragma once

#include <maya/MFnData.h>
#include <zovhost/FunctionSetOf.h>

/// Numeric data: the kinds of numeric attributes and the value objects of the
/// two-, three- and four-component kinds.
class MFnNumericData : public zovhost::FunctionSetOf<MFnData, MFn::kNumericData> {
 public:
  enum Type {
    kInvalid,
    kBoolean,
    kByte,
    kChar,
    kShort,
    k2Short,
    k3Short,
    kLong,
    kInt = kLong,
    k2Long,
    k2Int = k2Long,
    k3Long,
    k3Int = k3Long,
    kInt64,
    kFloat,
    k2Float,
    k3Float,
    kDouble,
    k2Double,
    k3Double,
    k4Double,
    kAddr,
    kLast
  };

  using FunctionSetOf::FunctionSetOf;

  /// Creates a data object of a multi-component kind with zero components.
  MObject create(Type type, MStatus* status = nullptr);
  Type numericType(MStatus* status = nullptr) const;

  MStatus getData(int& a, int& b) const;
  MStatus getData(float& a, float& b) const;
  MStatus getData(double& a, double& b) const;
  MStatus getData(int& a, int& b, int& c) const;
  MStatus getData(float& a, float& b, float& c) const;
  MStatus getData(double& a, double& b, double& c) const;
  MStatus getData(double& a, double& b, double& c, double& d) const;
  MStatus setData(int a, int b);
  MStatus setData(float a, float b);
  MStatus setData(double a, double b);
  MStatus setData(int a, int b, int c);
  MStatus setData(float a, float b, float c);
  MStatus setData(double a, double b, double c);
  MStatus setData(double a, double b, double c, double d);
};
