#pragma once

#include <maya/MFn.h>
#include <maya/MObject.h>
#include <maya/MStatus.h>

#include <vector>

/// Walks the dependency graph from a root node along connections, upstream
/// (to the sources) or downstream (to the destinations), depth or breadth
/// first, visiting each node once. The root comes first. Only nodes that the
/// filter's function-set type applies to are given (kInvalid: every node),
/// but the walk goes on through the others. Connections are followed in the
/// order they were made; the walk is worked out when the iterator is made or
/// reset.
class MItDependencyGraph {
 public:
  enum Direction { kDownstream, kUpstream };
  enum Traversal { kDepthFirst, kBreadthFirst };
  /// Only node-level walks are kept here.
  enum Level { kNodeLevel, kPlugLevel };

  explicit MItDependencyGraph(const MObject& rootNode, MFn::Type filter = MFn::kInvalid,
                              Direction direction = kDownstream, Traversal traversal = kDepthFirst,
                              Level level = kNodeLevel, MStatus* status = nullptr);

  MStatus reset();
  bool isDone(MStatus* status = nullptr) const;
  MStatus next();
  MObject currentItem(MStatus* status = nullptr) const;
  MObject thisNode(MStatus* status = nullptr) const { return currentItem(status); }
  MObject rootNode(MStatus* status = nullptr) const;

 private:
  MObject m_root;
  MFn::Type m_filter;
  Direction m_direction;
  Traversal m_traversal;
  std::vector<MObject> m_items;
  size_t m_index = 0;
};
