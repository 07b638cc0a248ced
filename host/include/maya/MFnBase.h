#pragma once

#include <maya/MFn.h>
#include <maya/MObject.h>
#include <maya/MStatus.h>

/// Base of the function sets: a function set works on one object at a time.
class MFnBase {
 public:
  MFnBase() = default;
  virtual ~MFnBase() = default;

  /// The function-set type this set works on.
  virtual MFn::Type type() const { return MFn::kBase; }
  /// The object the set is attached to (null when none).
  MObject object(MStatus* status = nullptr) const;
  /// Attaches the set to an object; fails (and detaches) when the set does not
  /// apply to it.
  virtual MStatus setObject(const MObject& object);
  /// True when the given function-set type applies to the attached object.
  bool hasObj(MFn::Type type) const { return m_object.hasFn(type); }

 protected:
  MObject m_object;
};
