#pragma once

#include <maya/MObject.h>
#include <maya/MPlug.h>
#include <maya/MString.h>

#include "core/Object.h"
#include "dg/AttributeImpl.h"
#include "dg/NodeType.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class MPxNode;

namespace zovhost {

/// The stored value of a leaf: a number (internal units), a string or a data
/// object, whichever the attribute holds.
struct Value {
  double number = 0.0;
  MString text;
  MObject data;
};

/// The data of one plug position: a leaf value, the children of a compound,
/// or the elements of an array, with its dirty and lock state.
struct Slot {
  Value value;
  bool dirty = false;
  /// Set while the plug is being evaluated, so that a re-entrant read returns
  /// the stored value instead of computing again.
  bool evaluating = false;
  bool locked = false;
  /// True for the array itself; its elements are element slots.
  bool arrayLevel = false;
  std::vector<Slot> children;
  std::map<unsigned int, std::unique_ptr<Slot>> elements;
  /// Where MDataHandle::asFloat3 and the like copy a compound's components,
  /// so that the arrays they hand out live as long as the node's data.
  float floatComponents[3] = {0.0f, 0.0f, 0.0f};
  double doubleComponents[3] = {0.0, 0.0, 0.0};
};

/// One connection between two plugs, numbered in the order made.
struct Connection {
  MPlug source;
  MPlug destination;
  std::uint64_t serial = 0;
};

/// A node: its type, name, plug-in object, dynamic attributes, stored data and
/// connections. Shared so that handles, plugs, modifiers and the undo queue
/// keep a deleted node alive until nothing can bring it back.
class NodeImpl : public Object, public std::enable_shared_from_this<NodeImpl> {
 public:
  NodeImpl(std::shared_ptr<NodeType> type, std::uint64_t serial);
  ~NodeImpl() override;

  MFn::Type apiType() const override { return type->apiType; }
  bool hasFn(MFn::Type fnType) const override { return fnListHas(type->fnTypes, fnType); }

  std::shared_ptr<NodeType> type;
  std::string name;
  std::unique_ptr<MPxNode> user;
  std::vector<std::shared_ptr<AttributeImpl>> dynamicAttributes;
  bool locked = false;
  bool inGraph = false;
  /// Default nodes (time1) exist in every scene and cannot be deleted.
  bool defaultNode = false;
  /// Set while the node is being deleted, so that a second delete is refused.
  bool deleting = false;
  /// Set while the plug-in object is being destroyed (see Graph::dispose);
  /// the host then calls none of its methods.
  bool disposing = false;
  /// Set once the host has let go of the node for good: its plug-in object
  /// is gone and it never comes back into the graph.
  bool disposed = false;
  /// The removal that last took the node out of the graph (NodeRemoval::
  /// serial), 0 while it is in the graph: only that removal's record lets
  /// go of it.
  std::uint64_t removedBy = 0;
  std::uint64_t serial;
  /// Connections in the order made, as destination and as source.
  std::vector<std::shared_ptr<Connection>> incoming;
  std::vector<std::shared_ptr<Connection>> outgoing;
  /// DAG links (see Dag): the parents in instance order, null standing for
  /// the world, and the children in order. Empty unless the node is a DAG
  /// node in the graph.
  std::vector<NodeImpl*> dagParents;
  std::vector<NodeImpl*> dagChildren;

  bool isDag() const { return hasFn(MFn::kDagNode); }
  /// The plug-in object for the host to call: none while it is destroyed.
  MPxNode* liveUser() const { return disposing ? nullptr : user.get(); }
  /// Destroys the plug-in object now. The object stays reachable (userNode)
  /// while its destructor runs, as the destructor may look at its node.
  void destroyUser();

  /// Top-level attributes: the type's, then the dynamic ones.
  unsigned int attributeCount() const;
  const std::shared_ptr<AttributeImpl>& attributeAt(unsigned int index) const;
  /// The attribute (at any depth) with this long or short name.
  std::shared_ptr<AttributeImpl> findAttribute(const std::string& name) const;
  /// True when the attribute (or its root) belongs to this node.
  bool ownsAttribute(const AttributeImpl& attribute) const;
  /// Adds a dynamic attribute; fails when a name is taken.
  bool addDynamicAttribute(const std::shared_ptr<AttributeImpl>& attribute);
  bool removeDynamicAttribute(const AttributeImpl& attribute);

  /// The slot of a plug position; null when an array element on the way does
  /// not exist and create is false, or when an array index is missing.
  Slot* slot(const AttributeImpl& attribute, const std::vector<int>& indices, bool create);
  /// Calls visit(slot, indices) for every existing slot of an attribute
  /// (every element of the arrays on its way).
  void forEachSlot(const AttributeImpl& attribute, const std::function<void(Slot&, const std::vector<int>&)>& visit);

  /// A slot initialised from an attribute's defaults.
  Slot makeSlot(const AttributeImpl& attribute, bool elementLevel) const;

 private:
  int rootIndex(const AttributeImpl& root) const;

  std::vector<std::unique_ptr<Slot>> m_slots;
};

/// The node behind an MObject, or null when it is not a node.
std::shared_ptr<NodeImpl> nodeOf(const MObject& object);

}  // namespace zovhost
