#pragma once

#include <maya/MFn.h>
#include <maya/MObject.h>
#include <maya/MStatus.h>

#include <vector>

/// Iterates the scene's nodes in creation order, optionally only those a
/// function-set type applies to (MFn::kPluginDependNode also yields plug-in
/// locators and other plug-in node kinds). Nodes deleted during the walk are
/// skipped.
class MItDependencyNodes {
 public:
  explicit MItDependencyNodes(MFn::Type filter = MFn::kInvalid, MStatus* status = nullptr);

  MStatus reset(MFn::Type filter = MFn::kInvalid);
  MObject thisNode(MStatus* status = nullptr) const;
  MObject item(MStatus* status = nullptr) const { return thisNode(status); }
  MStatus next();
  bool isDone(MStatus* status = nullptr) const;

 private:
  void skipRemoved();

  std::vector<MObject> m_nodes;
  size_t m_index = 0;
};
