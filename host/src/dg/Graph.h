#pragma once

#include <maya/MPlug.h>
#include <maya/MStatus.h>

#include "dg/Dag.h"
#include "dg/NodeImpl.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace zovhost {

class CallbackRegistry;

/// What deleting a node took out of the graph, so that undo can put it back.
struct NodeRemoval {
  std::shared_ptr<NodeImpl> node;
  /// The node's connections in the order they were made.
  std::vector<std::pair<MPlug, MPlug>> connections;
  /// A DAG node's parents in instance order.
  std::vector<DagLink> dagParents;
  /// The children that went with the node (it was their only parent), last first.
  std::vector<NodeRemoval> dagChildren;
  /// The children that stayed (they have other parents), with the node's
  /// position among each one's parents.
  std::vector<std::pair<std::shared_ptr<NodeImpl>, size_t>> keptChildren;
  /// Which removal this is (NodeImpl::removedBy); 0 for none.
  std::uint64_t serial = 0;
};

/// The dependency graph of the scene: the nodes in creation order with unique
/// names, the connections in the order made, dirty propagation and evaluation.
class Graph {
 public:
  /// Node-added and node-removed messages go through callbacks.
  explicit Graph(CallbackRegistry& callbacks) : m_callbacks(callbacks) {}
  Graph(const Graph&) = delete;
  Graph& operator=(const Graph&) = delete;

  /// Called with every node the graph lets go of, after its node-removed
  /// messages (what keeps nodes elsewhere, such as the selection, drops it).
  void addRemovalListener(std::function<void(const MObject& node)> listener);

  // --- Nodes -------------------------------------------------------------
  /// Makes a node of a type (its plug-in object, its data and postConstructor)
  /// without adding it to the graph.
  std::shared_ptr<NodeImpl> instantiate(const std::shared_ptr<NodeType>& type, MStatus* status);
  /// Adds a made node under its requested name (made unique) or a default
  /// name, and raises the node-added callbacks. A DAG node goes under
  /// dagParent (see checkParent), or under the world.
  MStatus add(const std::shared_ptr<NodeImpl>& node, const std::shared_ptr<NodeImpl>& dagParent = nullptr);
  /// Raises the node-removed callbacks, breaks the node's connections and
  /// takes it out of the graph. A DAG node takes along the children that
  /// have no other parent. Refused for locked and default nodes (among those
  /// children too).
  MStatus remove(const std::shared_ptr<NodeImpl>& node, NodeRemoval* removal, bool force = false);
  /// What keeps remove from taking a node: the node itself or a child it
  /// would take along that is locked or a default node; null when nothing does.
  const NodeImpl* removalBlocker(const NodeImpl& node) const;
  /// The serial of the last removal made (NodeRemoval::serial): a node
  /// removed after it was read has a removedBy above it.
  std::uint64_t lastRemoval() const { return m_nextRemoval; }
  /// Puts a removed node back with the connections whose other end still
  /// exists, and a DAG node with its links and the children it took along.
  /// Refused for a node the host has let go of (see dispose). The node-added
  /// message comes once everything is back.
  MStatus restore(const NodeRemoval& removal);
  /// Lets go of a removed node for good, and of the children that went with
  /// it: their plug-in objects are destroyed, unless the node is back in the
  /// graph or was removed again since, by a removal that another record
  /// holds. While a destructor runs, its node shows the connections it had
  /// when it was removed (those whose other end is not destroyed and whose
  /// destination has no other source), so that it can read its plugs and
  /// follow its connections; it may delete other nodes. A removal made
  /// without a record is let go of at once.
  void dispose(const NodeRemoval& removal);
  /// Lets go of a node that left the graph, showing it no connections
  /// (its type is going away).
  void dispose(const std::shared_ptr<NodeImpl>& node);
  /// Renames a node; a name taken by another node is made unique.
  MStatus rename(NodeImpl& node, const std::string& requested);
  /// The node with a name, or with a DAG path name ("|group1|pCube1", or any
  /// end part of one such as "group1|pCube1").
  std::shared_ptr<NodeImpl> find(const std::string& name) const;
  const std::vector<std::shared_ptr<NodeImpl>>& nodes() const { return m_nodes; }
  /// The unique name the graph would give for a request now: the request
  /// itself when it is free, else its trailing number (or a '#' in it)
  /// replaced by the lowest free number from 1. Takes a time independent of
  /// the number of nodes.
  std::string uniqueName(const std::string& requested, const NodeImpl* self = nullptr) const;
  /// A name a node may be given: letters, digits and '_', starting with a
  /// letter or '_', with at most one '#' that asks for the next free number.
  static bool isValidName(const std::string& name);

  /// While a scene file is imported, the names it gives its nodes stand for
  /// the names those nodes got when theirs were taken, so that its later
  /// lines reach its own nodes.
  struct NameMapping {
    bool active = false;
    std::map<std::string, std::string> names;
  };
  NameMapping& nameMapping() { return m_nameMapping; }
  /// While held (a scene file being read), node-added messages wait until the
  /// last hold ends, and are then raised in the order the nodes came, for
  /// those still in the scene: a node read from a file is whole (its dynamic
  /// attributes and values set) when the callbacks see it.
  void holdNodeAdded() { ++m_addedHolds; }
  void releaseNodeAdded();

  // --- DAG ---------------------------------------------------------------
  Dag& dag() { return m_dag; }
  const Dag& dag() const { return m_dag; }
  /// A DAG node's parents in instance order, each with its position among
  /// the parent's children.
  std::vector<DagLink> dagParentLinks(const NodeImpl& node) const;
  /// Replaces a DAG node's parents (reparenting, instancing and their undo).
  /// Refused, changing nothing, when a parent is not allowed or is given twice.
  MStatus setDagParents(NodeImpl& node, const std::vector<DagLink>& links);
  /// Whether a DAG node may go under parent (null: the world): parents are
  /// transforms in the graph, never the node or one of its descendants, and
  /// only transforms may go under the world.
  MStatus checkParent(const NodeImpl& node, const NodeImpl* parent) const;

  // --- Connections -------------------------------------------------------
  /// Whether a connection could be made (plugs, flags, kinds, and unless
  /// forced locks); does not look at an existing incoming connection of the
  /// destination.
  MStatus checkConnection(const MPlug& source, const MPlug& destination, bool force = false) const;
  /// Connects; fails when the destination already has a source. Unless
  /// forced (as a removal undone puts back what it broke), locked nodes and
  /// plugs refuse.
  MStatus connect(const MPlug& source, const MPlug& destination, bool force = false);
  /// Disconnects; unless forced (as undo does), locked nodes refuse.
  MStatus disconnect(const MPlug& source, const MPlug& destination, bool force = false);
  /// The connection whose destination is exactly this plug, or null.
  std::shared_ptr<Connection> incomingOf(const MPlug& destination) const;
  /// The connections whose source is exactly this plug, in the order made.
  std::vector<std::shared_ptr<Connection>> outgoingOf(const MPlug& source) const;
  /// Every connection of the graph in the order made.
  std::vector<std::shared_ptr<Connection>> connections() const;

  // --- Values and evaluation ---------------------------------------------
  /// Makes the plug's value current: pulls it through its incoming connection
  /// or computes it when it is dirty. Re-entrant reads of a plug under
  /// evaluation return the stored value.
  void evaluate(const MPlug& plug);
  /// Marks a plug (and what lies below it) dirty and spreads the dirtiness.
  void dirty(const MPlug& plug);
  /// Spreads dirtiness from a plug whose value changed: to the attributes it
  /// affects, to the plugs the node adds in setDependentsDirty, and along
  /// connections, transitively.
  void propagate(const MPlug& changed);
  /// Stores a value through a setter and spreads dirtiness; fails on locks.
  template <typename Store>
  MStatus store(const MPlug& plug, Store storeValue);

  /// True when a plug or one of its ancestors is locked.
  bool isLocked(const MPlug& plug) const;

  /// Removes every node (raising the node-removed callbacks) and connection.
  void clear();

 private:
  /// restore's work, with node-added messages held.
  MStatus restoreHeld(const NodeRemoval& removal);
  MStatus checkStore(const MPlug& plug, Slot*& slot);
  void copyValue(const MPlug& source, const MPlug& destination);
  void computeSlot(const MPlug& plug, Slot& slot);
  /// A new connection, numbered next and listed at both ends; nothing else
  /// (no checks, no values, no dirtiness).
  std::shared_ptr<Connection> attach(const MPlug& source, const MPlug& destination);
  /// Breaks a connection whatever the locks; the destination keeps its value.
  void detach(const std::shared_ptr<Connection>& connection);
  /// Adds a node with the given DAG links (DAG nodes only; none: the world).
  MStatus addLinked(const std::shared_ptr<NodeImpl>& node, const std::vector<DagLink>& links);
  /// Deletes a DAG node's own children and unlinks it from the rest and from its parents.
  void removeFromDag(NodeImpl& node, NodeRemoval& removal, bool force);
  /// Lets a DAG node's type keep it and what lies below it in step with a
  /// change of their paths.
  void hierarchyChanged(NodeImpl& node);
  /// Destroys a removed node's plug-in object with the given connections shown.
  void destroy(const std::shared_ptr<NodeImpl>& node, const std::vector<std::pair<MPlug, MPlug>>& connections);

  CallbackRegistry& m_callbacks;
  std::vector<std::function<void(const MObject&)>> m_removalListeners;

  /// The numbers in use after one base name ("pCube" for "pCube12"), so that
  /// the lowest free one is found without trying every name.
  struct NameNumbers {
    std::set<unsigned long> used;
    /// Every number below this one is used.
    unsigned long lowestFree = 1;
  };
  void claimName(NodeImpl& node);
  void releaseName(const std::string& name);
  /// The lowest free number n from 1 for which base + n is free.
  unsigned long lowestFreeNumber(const std::string& base, const NodeImpl* self) const;

  std::vector<std::shared_ptr<NodeImpl>> m_nodes;
  std::map<std::string, NodeImpl*> m_names;
  mutable std::map<std::string, NameNumbers> m_numbers;
  NameMapping m_nameMapping;
  int m_addedHolds = 0;
  std::vector<std::weak_ptr<NodeImpl>> m_heldAdded;
  /// The held nodes an imported file named with names already taken, with
  /// the file's names.
  std::vector<std::pair<std::weak_ptr<NodeImpl>, std::string>> m_heldRenamed;
  std::uint64_t m_nextSerial = 1;
  std::uint64_t m_nextConnection = 1;
  std::uint64_t m_nextRemoval = 0;
  Dag m_dag;
};

/// The scene's graph, which the API works on; owned by the host's composition root.
Graph& sceneGraph();

/// True when two plugs of one node overlap: one is the other or lies below it.
bool plugsOverlap(const MPlug& a, const MPlug& b);
/// Marks a slot and everything below it dirty, or clean.
void setSlotDirty(Slot& slot, bool dirty);

template <typename Store>
MStatus Graph::store(const MPlug& plug, Store storeValue) {
  Slot* slot = nullptr;
  const MStatus status = checkStore(plug, slot);
  if (!status) return status;
  storeValue(*slot);
  setSlotDirty(*slot, false);
  propagate(plug);
  return MS::kSuccess;
}

}  // namespace zovhost
