#pragma once

#include <maya/MDagPath.h>
#include <maya/MGlobal.h>
#include <maya/MObject.h>
#include <maya/MPlug.h>
#include <maya/MSelectionList.h>
#include <maya/MStringArray.h>

#include <string>
#include <vector>

/// The host's nodes, paths and plugs found by the names a user types; each
/// answers a null object, an invalid path or a null plug for a name that
/// names nothing.
namespace zovtest {

inline MObject nodeNamed(const std::string& name) {
  MSelectionList list;
  MObject object;
  if (list.add(name.c_str())) list.getDependNode(0, object);
  return object;
}

inline MDagPath pathNamed(const std::string& name) {
  MSelectionList list;
  MDagPath path;
  if (list.add(name.c_str())) list.getDagPath(0, path);
  return path;
}

inline MPlug plugNamed(const std::string& name) {
  MSelectionList list;
  MPlug plug;
  if (list.add(name.c_str())) list.getPlug(0, plug);
  return plug;
}

/// The nodes of a type, by name, in creation order.
inline std::vector<std::string> nodesOfType(const std::string& type) {
  MStringArray names;
  MGlobal::executeCommand(("ls -type " + type).c_str(), names);
  std::vector<std::string> result;
  for (unsigned int i = 0; i < names.length(); ++i) result.push_back(names[i].asChar());
  return result;
}

}  // namespace zovtest
