#pragma once

#include <maya/MFnNumericData.h>
#include <maya/MMatrix.h>
#include <maya/MObject.h>
#include <maya/MString.h>

#include "core/Object.h"

#include <vector>

namespace zovhost {

/// A data object of one function-set type (`kType`, then data and base).
template <MFn::Type kType>
class DataObjectOf : public Object {
 public:
  MFn::Type apiType() const override { return kType; }
  bool hasFn(MFn::Type type) const override { return type == kType || type == MFn::kData || type == MFn::kBase; }
};

/// The value object of string typed attributes.
class StringData : public DataObjectOf<MFn::kStringData> {
 public:
  explicit StringData(MString text) : text(std::move(text)) {}
  MString text;
};

/// The value object of matrix typed attributes.
class MatrixData : public DataObjectOf<MFn::kMatrixData> {
 public:
  explicit MatrixData(const MMatrix& matrix) : matrix(matrix) {}
  MMatrix matrix;
};

/// The value object of the multi-component numeric kinds (k3Float, ...).
class NumericData : public DataObjectOf<MFn::kNumericData> {
 public:
  NumericData(MFnNumericData::Type kind, unsigned int count) : kind(kind), values(count, 0.0) {}
  MFnNumericData::Type kind;
  std::vector<double> values;
};

/// The number of components of a numeric kind (1 for the single kinds, 0 for
/// kInvalid and kLast), and the kind of each component.
unsigned int numericComponentCount(MFnNumericData::Type kind);
MFnNumericData::Type numericComponentKind(MFnNumericData::Type kind);

/// A component: a kind (a mesh's faces, edges or vertices) and the indices
/// of its elements.
class ComponentObject : public Object {
 public:
  explicit ComponentObject(MFn::Type kind) : kind(kind) {}
  MFn::Type apiType() const override { return kind; }
  bool hasFn(MFn::Type type) const override {
    return type == kind || type == MFn::kComponent || type == MFn::kSingleIndexedComponent || type == MFn::kBase;
  }
  MFn::Type kind;
  std::vector<int> elements;
};

/// A list of components, the value of component-list attributes.
class ComponentListObject : public DataObjectOf<MFn::kComponentListData> {
 public:
  std::vector<MObject> components;
};

}  // namespace zovhost
