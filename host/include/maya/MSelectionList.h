#pragma once

#include <maya/MDagPath.h>
#include <maya/MObject.h>
#include <maya/MPlug.h>
#include <maya/MStatus.h>
#include <maya/MString.h>

#include <vector>

class MStringArray;

/// An ordered list of selected items: nodes (DAG nodes with the path that
/// was meant), or plugs of nodes.
class MSelectionList {
 public:
  enum MergeStrategy { kMergeNormal, kXORWithList, kRemoveFromList };

  MSelectionList() = default;

  MStatus clear();
  bool isEmpty(MStatus* status = nullptr) const;
  unsigned int length(MStatus* status = nullptr) const;
  /// Appends a node; with mergeWithExisting a node already listed is not added again.
  MStatus add(const MObject& node, bool mergeWithExisting = false);
  /// Appends the node ("name", or a DAG path name such as "group1|pCube1"),
  /// plug ("name.attribute") or mesh components ("mesh.f[3]", "mesh.e[0:2]",
  /// "mesh.vtx[5]"; a transform's name means its mesh) with that name; fails
  /// when nothing has it.
  MStatus add(const MString& matchString, bool searchChildNamespacesToo = false);
  MStatus add(const MPlug& plug, bool mergeWithExisting = false);
  /// Appends a DAG path, with a component of it or none.
  MStatus add(const MDagPath& path, const MObject& component = MObject::kNullObj, bool mergeWithExisting = false);
  /// Merges another list: adds its items, toggles them, or removes them.
  MStatus merge(const MSelectionList& other, MergeStrategy strategy = kMergeNormal);
  MStatus remove(unsigned int index);
  /// The node of an item (for a plug, its node).
  MStatus getDependNode(unsigned int index, MObject& node) const;
  MStatus getPlug(unsigned int index, MPlug& plug) const;
  /// The path of a DAG node item (the node's first path when none was
  /// named) and its component (null for the whole node); fails for other
  /// items.
  MStatus getDagPath(unsigned int index, MDagPath& path, MObject& component) const;
  MStatus getDagPath(unsigned int index, MDagPath& path) const;
  bool hasItem(const MObject& node, MStatus* status = nullptr) const;
  /// The names of the items ("node" or "node.attribute").
  MStatus getSelectionStrings(MStringArray& strings) const;
  MStatus getSelectionStrings(unsigned int index, MStringArray& strings) const;

  // Host side: drops every item of a node (when the node is deleted).
  void removeNode(const MObject& node);

 private:
  struct Item {
    MObject node;
    MPlug plug;
    MDagPath path;
    MObject component;
  };
  static bool sameItem(const Item& a, const Item& b);
  static MString itemName(const Item& item);
  std::vector<Item> m_items;
};
