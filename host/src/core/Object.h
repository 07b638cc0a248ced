#pragma once

#include <maya/MFn.h>

#include <initializer_list>
#include <memory>
#include <vector>

namespace zovhost {

/// Base of every object an MObject can refer to: nodes, attributes, data and
/// plug-ins. Each kind knows its own function-set type and those of its bases.
class Object {
 public:
  virtual ~Object() = default;
  /// The object's own function-set type.
  virtual MFn::Type apiType() const = 0;
  /// True when function sets of the given type apply (the own type or a base's).
  virtual bool hasFn(MFn::Type type) const { return type == apiType() || type == MFn::kBase; }
  /// A copy for a data handle to keep, so that changing what the handle
  /// holds leaves the value it was given alone; null: the object is shared.
  virtual std::shared_ptr<Object> copyForHandle() const { return nullptr; }
};

/// True when type is one of the listed types or MFn::kBase.
inline bool fnListHas(const std::vector<MFn::Type>& types, MFn::Type type) {
  if (type == MFn::kBase) return true;
  for (MFn::Type t : types)
    if (t == type) return true;
  return false;
}

}  // namespace zovhost
