// Data objects: numeric, string and matrix data and their function sets.
#include <maya/MFnMatrixData.h>
#include <maya/MFnNumericData.h>
#include <maya/MFnStringData.h>
#include <maya/MMatrix.h>

#include "core/DataObjects.h"
#include "core/Numbers.h"
#include "mathtypes/StatusOut.h"

#include <cmath>
#include <memory>
#include <type_traits>
#include <utility>

using zovhost::MatrixData;
using zovhost::NumericData;
using zovhost::setStatus;
using zovhost::StringData;

namespace {

/// A new data object of the type made from the arguments; sets success.
template <typename Data, typename... Args>
MObject newData(MStatus* status, Args&&... args) {
  setStatus(status, MS::kSuccess);
  return MObject(std::make_shared<Data>(std::forward<Args>(args)...));
}

template <typename T>
std::shared_ptr<T> dataOf(const MObject& object) {
  return std::dynamic_pointer_cast<T>(object.object());
}

MStatus readComponents(const MObject& object, std::initializer_list<double*> out) {
  const auto data = dataOf<NumericData>(object);
  if (!data || data->values.size() != out.size()) return MS::kFailure;
  size_t i = 0;
  for (double* value : out) *value = data->values[i++];
  return MS::kSuccess;
}

MStatus writeComponents(const MObject& object, std::initializer_list<double> values) {
  const auto data = dataOf<NumericData>(object);
  if (!data || data->values.size() != values.size()) return MS::kFailure;
  size_t i = 0;
  for (double value : values) data->values[i++] = value;
  return MS::kSuccess;
}

template <typename T>
MStatus readAs(const MObject& object, std::initializer_list<T*> out) {
  double values[4] = {0.0, 0.0, 0.0, 0.0};
  MStatus status;
  if (out.size() == 2)
    status = readComponents(object, {&values[0], &values[1]});
  else if (out.size() == 3)
    status = readComponents(object, {&values[0], &values[1], &values[2]});
  else
    status = readComponents(object, {&values[0], &values[1], &values[2], &values[3]});
  if (!status) return status;
  size_t i = 0;
  for (T* value : out) {
    if constexpr (std::is_integral_v<T>)
      *value = zovhost::toInteger<T>(values[i++]);
    else
      *value = static_cast<T>(values[i++]);
  }
  return MS::kSuccess;
}

}  // namespace

// ---------------------------------------------------------------------------
// MFnNumericData

MObject MFnNumericData::create(Type kind, MStatus* status) {
  const unsigned int count = zovhost::numericComponentCount(kind);
  if (count < 2) {
    setStatus(status, MS::kInvalidParameter);
    return MObject();
  }
  m_object = newData<NumericData>(status, kind, count);
  return m_object;
}

MFnNumericData::Type MFnNumericData::numericType(MStatus* status) const {
  const auto data = dataOf<NumericData>(m_object);
  setStatus(status, data ? MS::kSuccess : MS::kFailure);
  return data ? data->kind : kInvalid;
}

MStatus MFnNumericData::getData(int& a, int& b) const { return readAs<int>(m_object, {&a, &b}); }
MStatus MFnNumericData::getData(float& a, float& b) const { return readAs<float>(m_object, {&a, &b}); }
MStatus MFnNumericData::getData(double& a, double& b) const { return readComponents(m_object, {&a, &b}); }
MStatus MFnNumericData::getData(int& a, int& b, int& c) const { return readAs<int>(m_object, {&a, &b, &c}); }
MStatus MFnNumericData::getData(float& a, float& b, float& c) const { return readAs<float>(m_object, {&a, &b, &c}); }
MStatus MFnNumericData::getData(double& a, double& b, double& c) const {
  return readComponents(m_object, {&a, &b, &c});
}
MStatus MFnNumericData::getData(double& a, double& b, double& c, double& d) const {
  return readComponents(m_object, {&a, &b, &c, &d});
}
MStatus MFnNumericData::setData(int a, int b) { return writeComponents(m_object, {double(a), double(b)}); }
MStatus MFnNumericData::setData(float a, float b) { return writeComponents(m_object, {double(a), double(b)}); }
MStatus MFnNumericData::setData(double a, double b) { return writeComponents(m_object, {a, b}); }
MStatus MFnNumericData::setData(int a, int b, int c) {
  return writeComponents(m_object, {double(a), double(b), double(c)});
}
MStatus MFnNumericData::setData(float a, float b, float c) {
  return writeComponents(m_object, {double(a), double(b), double(c)});
}
MStatus MFnNumericData::setData(double a, double b, double c) { return writeComponents(m_object, {a, b, c}); }
MStatus MFnNumericData::setData(double a, double b, double c, double d) {
  return writeComponents(m_object, {a, b, c, d});
}

// ---------------------------------------------------------------------------
// MFnStringData

MObject MFnStringData::create(const MString& text, MStatus* status) {
  m_object = newData<StringData>(status, text);
  return m_object;
}

MString MFnStringData::string(MStatus* status) const {
  const auto data = dataOf<StringData>(m_object);
  setStatus(status, data ? MS::kSuccess : MS::kFailure);
  return data ? data->text : MString();
}

MStatus MFnStringData::set(const MString& text) {
  const auto data = dataOf<StringData>(m_object);
  if (!data) return MS::kFailure;
  data->text = text;
  return MS::kSuccess;
}

// ---------------------------------------------------------------------------
// MFnMatrixData

MObject MFnMatrixData::create(const MMatrix& matrix, MStatus* status) {
  m_object = newData<MatrixData>(status, matrix);
  return m_object;
}

const MMatrix& MFnMatrixData::matrix(MStatus* status) const {
  const auto data = dataOf<MatrixData>(m_object);
  setStatus(status, data ? MS::kSuccess : MS::kFailure);
  return data ? data->matrix : MMatrix::identity;
}

MStatus MFnMatrixData::set(const MMatrix& matrix) {
  const auto data = dataOf<MatrixData>(m_object);
  if (!data) return MS::kFailure;
  data->matrix = matrix;
  return MS::kSuccess;
}

namespace zovhost {

unsigned int numericComponentCount(MFnNumericData::Type kind) {
  switch (kind) {
    case MFnNumericData::kInvalid:
    case MFnNumericData::kLast:
      return 0;
    case MFnNumericData::k2Short:
    case MFnNumericData::k2Long:
    case MFnNumericData::k2Float:
    case MFnNumericData::k2Double:
      return 2;
    case MFnNumericData::k3Short:
    case MFnNumericData::k3Long:
    case MFnNumericData::k3Float:
    case MFnNumericData::k3Double:
      return 3;
    case MFnNumericData::k4Double:
      return 4;
    default:
      return 1;
  }
}

MFnNumericData::Type numericComponentKind(MFnNumericData::Type kind) {
  switch (kind) {
    case MFnNumericData::k2Short:
    case MFnNumericData::k3Short:
      return MFnNumericData::kShort;
    case MFnNumericData::k2Long:
    case MFnNumericData::k3Long:
      return MFnNumericData::kLong;
    case MFnNumericData::k2Float:
    case MFnNumericData::k3Float:
      return MFnNumericData::kFloat;
    case MFnNumericData::k2Double:
    case MFnNumericData::k3Double:
    case MFnNumericData::k4Double:
      return MFnNumericData::kDouble;
    default:
      return kind;
  }
}

}  // namespace zovhost
