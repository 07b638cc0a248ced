#pragma once

#include <maya/MFnData.h>
#include <maya/MMatrix.h>
#include <zovhost/FunctionSetOf.h>

/// Matrix data: the value object of matrix typed attributes.
class MFnMatrixData : public zovhost::FunctionSetOf<MFnData, MFn::kMatrixData> {
 public:
  using FunctionSetOf::FunctionSetOf;

  MObject create(const MMatrix& matrix, MStatus* status = nullptr);
  MObject create(MStatus* status = nullptr) { return create(MMatrix(), status); }
  const MMatrix& matrix(MStatus* status = nullptr) const;
  MStatus set(const MMatrix& matrix);
};
