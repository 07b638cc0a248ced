#pragma once

#include <maya/MFn.h>

#include <memory>

namespace zovhost {
class Object;
}

/// A handle to a host object: a node, an attribute, a data object or a
/// plug-in. Copies refer to the same object; a default-constructed handle is
/// null.
class MObject {
 public:
  MObject() = default;

  /// True when the handle refers to nothing.
  bool isNull() const { return !m_object; }
  /// The object's own function-set type (MFn::kInvalid when null).
  MFn::Type apiType() const;
  /// True when function sets of the given type apply to the object.
  bool hasFn(MFn::Type type) const;

  bool operator==(const MObject& other) const { return m_object == other.m_object; }
  bool operator!=(const MObject& other) const { return m_object != other.m_object; }

  static const MObject kNullObj;

  // Host side: not part of the plug-in API.
  explicit MObject(std::shared_ptr<zovhost::Object> object) : m_object(std::move(object)) {}
  const std::shared_ptr<zovhost::Object>& object() const { return m_object; }

 private:
  std::shared_ptr<zovhost::Object> m_object;
};
