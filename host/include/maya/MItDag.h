#pragma once

#include <maya/MDagPath.h>
#include <maya/MFn.h>
#include <maya/MObject.h>
#include <maya/MStatus.h>
#include <maya/MString.h>

#include <vector>

class MDagPathArray;

/// Walks the DAG below the world (or below a root) depth first or breadth
/// first. An instanced node is met once per path. A filter skips the nodes
/// it does not apply to, not what lies below them. The walk is taken when
/// the iterator is reset; nodes deleted since are skipped.
class MItDag {
 public:
  enum TraversalType { kInvalidType, kDepthFirst, kBreadthFirst };

  explicit MItDag(TraversalType type = kDepthFirst, MFn::Type filter = MFn::kInvalid, MStatus* status = nullptr);

  MStatus reset();
  /// Walks below root (which is met first when the filter allows).
  MStatus reset(const MObject& root, TraversalType type = kDepthFirst, MFn::Type filter = MFn::kInvalid);
  MStatus reset(const MDagPath& root, TraversalType type = kDepthFirst, MFn::Type filter = MFn::kInvalid);

  MObject currentItem(MStatus* status = nullptr) const;
  MObject item(MStatus* status = nullptr) const { return currentItem(status); }
  MStatus getPath(MDagPath& path) const;
  MStatus getAllPaths(MDagPathArray& paths) const;
  MString fullPathName(MStatus* status = nullptr) const;
  MString partialPathName(MStatus* status = nullptr) const;
  /// The current path's length (1 for a child of the world).
  unsigned int depth(MStatus* status = nullptr) const;
  MObject root(MStatus* status = nullptr) const;
  TraversalType getType(MStatus* status = nullptr) const;

  MStatus next();
  bool isDone(MStatus* status = nullptr) const;
  /// Skips what lies below the current node.
  MStatus prune();

 private:
  void walk(const MDagPath& root);
  void skipUnwanted();
  bool wanted(const MDagPath& path) const;

  TraversalType m_type = kDepthFirst;
  MFn::Type m_filter = MFn::kInvalid;
  MDagPath m_root;
  std::vector<MDagPath> m_paths;
  size_t m_index = 0;
};
