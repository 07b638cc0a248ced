#pragma once

#include <maya/MFnData.h>
#include <maya/MMatrix.h>

/// Matrix data: the value object of matrix typed attributes.
class MFnMatrixData : public MFnData {
 public:
  MFnMatrixData() = default;
  explicit MFnMatrixData(const MObject& object, MStatus* status = nullptr);

  MFn::Type type() const override { return MFn::kMatrixData; }
  MObject create(const MMatrix& matrix, MStatus* status = nullptr);
  MObject create(MStatus* status = nullptr) { return create(MMatrix(), status); }
  const MMatrix& matrix(MStatus* status = nullptr) const;
  MStatus set(const MMatrix& matrix);
};
