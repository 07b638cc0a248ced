// Dirty propagation and evaluation of the dependency graph.
//
// A plug's data is dirty when something it depends on changed since it was
// last made current. Reading a plug makes it current: a destination pulls its
// source's value, any other dirty plug runs its node's compute. Setting a
// value spreads dirtiness to the attributes it affects within the node, to
// the plugs the node names in setDependentsDirty, and along the connections
// leaving any plug that became dirty, transitively.
#include "dg/Graph.h"

#include <maya/MDataBlock.h>
#include <maya/MPlugArray.h>
#include <maya/MPxNode.h>

#include <set>
#include <tuple>

namespace zovhost {

namespace {

/// Marks a plug position as under evaluation for the life of the guard.
class EvaluationGuard {
 public:
  explicit EvaluationGuard(Slot& slot) : m_slot(slot) { m_slot.evaluating = true; }
  ~EvaluationGuard() { m_slot.evaluating = false; }
  EvaluationGuard(const EvaluationGuard&) = delete;
  EvaluationGuard& operator=(const EvaluationGuard&) = delete;

 private:
  Slot& m_slot;
};

MPlug childPlug(const MPlug& plug, unsigned int index) {
  return MPlug(plug.nodeImpl(), plug.attributeImpl()->children[index], plug.indices());
}

MPlug elementPlug(const MPlug& plug, unsigned int logicalIndex) {
  std::vector<int> indices = plug.indices();
  indices.back() = static_cast<int>(logicalIndex);
  return MPlug(plug.nodeImpl(), plug.attributeImpl(), std::move(indices));
}

/// The plug one level up: the array of an element, else the parent compound.
MPlug upperPlug(const MPlug& plug) {
  const AttributeImpl& attribute = *plug.attributeImpl();
  if (attribute.array && !plug.indices().empty() && plug.indices().back() >= 0) {
    std::vector<int> indices = plug.indices();
    indices.back() = -1;
    return MPlug(plug.nodeImpl(), plug.attributeImpl(), std::move(indices));
  }
  if (!attribute.parent) return MPlug();
  std::vector<int> indices = plug.indices();
  if (attribute.array) indices.pop_back();
  return MPlug(plug.nodeImpl(), attribute.parent->shared_from_this(), std::move(indices));
}

/// A number passed from one attribute to another. Between a unit attribute
/// and a plain number the value goes in the user-interface unit, as the host's
/// unit conversion does: a plain number fed to a distance is read in the
/// current linear unit, an angle gives a plain number in the angular unit.
double convertNumber(const AttributeImpl& from, const AttributeImpl& to, double value) {
  const bool fromTime = from.isUnit(MFnUnitAttribute::kTime);
  const bool toTime = to.isUnit(MFnUnitAttribute::kTime);
  const double ticksPerUIUnit = MTime::ticksPerUnit(MTime::uiUnit());
  if (fromTime && !toTime) value /= ticksPerUIUnit;
  if (!fromTime && toTime) value *= ticksPerUIUnit;
  for (const MFnUnitAttribute::Type unit : {MFnUnitAttribute::kDistance, MFnUnitAttribute::kAngle}) {
    const bool fromUnit = from.isUnit(unit);
    const bool toUnit = to.isUnit(unit);
    const bool distance = unit == MFnUnitAttribute::kDistance;
    if (fromUnit && !toUnit) value = distance ? MDistance::internalToUI(value) : MAngle::internalToUI(value);
    if (!fromUnit && toUnit) value = distance ? MDistance::uiToInternal(value) : MAngle::uiToInternal(value);
  }
  return to.normalise(value);
}

void copySlot(const AttributeImpl& from, const Slot& source, const AttributeImpl& to, Slot& destination,
              NodeImpl& destinationNode) {
  if (to.isMessage()) return;
  if (destination.arrayLevel) {
    for (const auto& [index, element] : source.elements) {
      auto& target = destination.elements[index];
      if (!target) target = std::make_unique<Slot>(destinationNode.makeSlot(to, true));
      copySlot(from, *element, to, *target, destinationNode);
    }
    return;
  }
  if (!destination.children.empty()) {
    const size_t count = std::min(source.children.size(), destination.children.size());
    for (size_t i = 0; i < count; ++i)
      copySlot(*from.children[i], source.children[i], *to.children[i], destination.children[i], destinationNode);
    return;
  }
  if (to.holdsNumber())
    destination.value.number = convertNumber(from, to, source.value.number);
  else if (to.holdsString())
    destination.value.text = source.value.text;
  else
    destination.value.data = source.value.data;
}

using PlugKey = std::tuple<const void*, const void*, std::vector<int>>;

PlugKey keyOf(const MPlug& plug) { return PlugKey(plug.nodeImpl().get(), plug.attributeImpl().get(), plug.indices()); }

}  // namespace

void setSlotDirty(Slot& slot, bool dirty) {
  slot.dirty = dirty;
  for (Slot& child : slot.children) setSlotDirty(child, dirty);
  for (auto& element : slot.elements) setSlotDirty(*element.second, dirty);
}

void Graph::copyValue(const MPlug& source, const MPlug& destination) {
  NodeImpl& sourceNode = *source.nodeImpl();
  NodeImpl& destinationNode = *destination.nodeImpl();
  Slot* to = destinationNode.slot(*destination.attributeImpl(), destination.indices(), true);
  if (!to) return;
  const Slot* from = sourceNode.slot(*source.attributeImpl(), source.indices(), false);
  Slot defaults;
  if (!from) {
    defaults = sourceNode.makeSlot(*source.attributeImpl(), source.isElement());
    from = &defaults;
  }
  copySlot(*source.attributeImpl(), *from, *destination.attributeImpl(), *to, destinationNode);
}

void Graph::computeSlot(const MPlug& plug, Slot& slot) {
  MPxNode* user = plug.nodeImpl()->liveUser();
  if (!user) {
    slot.dirty = false;
    return;
  }
  MDataBlock block(plug.nodeImpl());
  MStatus status = user->compute(plug, block);
  const MPlug upper = upperPlug(plug);
  // A node may compute a compound or an array as a whole.
  if (status == MS::kUnknownParameter && !upper.isNull()) status = user->compute(upper, block);
  // What the host keeps for every node of a kind (a DAG node's matrices).
  if (status == MS::kUnknownParameter && plug.nodeImpl()->type->hostCompute)
    status = plug.nodeImpl()->type->hostCompute(plug, block);
  // A plug its node does not compute keeps the value stored in it.
  if (status == MS::kUnknownParameter) slot.dirty = false;
}

void Graph::evaluate(const MPlug& plug) {
  if (plug.isNull()) return;
  // Keep the node alive even if a compute deletes it.
  const std::shared_ptr<NodeImpl> node = plug.nodeImpl();
  Slot* slot = node->slot(*plug.attributeImpl(), plug.indices(), false);
  if (!slot || slot->evaluating) return;
  EvaluationGuard guard(*slot);

  if (slot->dirty) {
    if (const std::shared_ptr<Connection> connection = incomingOf(plug)) {
      const MPlug source = connection->source;
      evaluate(source);
      copyValue(source, plug);
      setSlotDirty(*slot, false);
    } else {
      // A compound or array connected as a whole feeds its children and elements.
      MPlug fed;
      for (MPlug up = upperPlug(plug); !up.isNull(); up = upperPlug(up))
        if (incomingOf(up)) {
          fed = up;
          break;
        }
      if (!fed.isNull()) {
        evaluate(fed);
        slot->dirty = false;
      } else {
        // A compute that does not mark its plug clean runs again at the next read.
        computeSlot(plug, *slot);
      }
    }
  }
  // A compound's children and an array's elements may be dirty on their own.
  if (slot->arrayLevel) {
    std::vector<unsigned int> logical;
    for (const auto& element : slot->elements) logical.push_back(element.first);
    for (unsigned int index : logical) evaluate(elementPlug(plug, index));
  } else {
    for (unsigned int i = 0; i < slot->children.size(); ++i) evaluate(childPlug(plug, i));
  }
}

void Graph::dirty(const MPlug& plug) {
  if (plug.isNull()) return;
  if (Slot* slot = plug.nodeImpl()->slot(*plug.attributeImpl(), plug.indices(), true)) setSlotDirty(*slot, true);
  propagate(plug);
}

void Graph::propagate(const MPlug& changed) {
  std::set<PlugKey> visited;
  std::vector<MPlug> work{changed};
  while (!work.empty()) {
    const MPlug plug = work.back();
    work.pop_back();
    if (!visited.insert(keyOf(plug)).second) continue;
    const std::shared_ptr<NodeImpl> node = plug.nodeImpl();

    const auto dirtyAndQueue = [&](const MPlug& target) {
      if (Slot* slot = target.nodeImpl()->slot(*target.attributeImpl(), target.indices(), true))
        setSlotDirty(*slot, true);
      work.push_back(target);
    };
    const auto dirtyAttribute = [&](const AttributeImpl& attribute) {
      node->forEachSlot(attribute, [](Slot& slot, const std::vector<int>&) { setSlotDirty(slot, true); });
      work.emplace_back(node, const_cast<AttributeImpl&>(attribute).shared_from_this(),
                        std::vector<int>(attribute.arrayDepth(), -1));
    };

    // Attributes affected by the plug's attribute, its ancestors or its descendants.
    std::vector<const AttributeImpl*> sources;
    for (const AttributeImpl* a = plug.attributeImpl().get(); a; a = a->parent) sources.push_back(a);
    std::vector<const AttributeImpl*> below{plug.attributeImpl().get()};
    while (!below.empty()) {
      const AttributeImpl* a = below.back();
      below.pop_back();
      for (const auto& child : a->children) {
        sources.push_back(child.get());
        below.push_back(child.get());
      }
    }
    for (const AttributeImpl* source : sources)
      for (const AttributeImpl* affected : node->type->affected(*source)) dirtyAttribute(*affected);

    if (MPxNode* user = node->liveUser()) {
      MPlugArray extra;
      user->setDependentsDirty(plug, extra);
      for (unsigned int i = 0; i < extra.length(); ++i)
        if (!extra[i].isNull() && extra[i].nodeImpl() == node) dirtyAndQueue(extra[i]);
    }

    const std::vector<std::shared_ptr<Connection>> outgoing = node->outgoing;
    for (const auto& connection : outgoing)
      if (plugsOverlap(connection->source, plug)) dirtyAndQueue(connection->destination);

    // What follows the plug in the DAG below the node (the children's matrices).
    if (node->type->hierarchyDependents) {
      std::vector<MPlug> below;
      node->type->hierarchyDependents(plug, below);
      for (const MPlug& dependent : below) dirtyAndQueue(dependent);
    }
  }
}

MStatus Graph::checkStore(const MPlug& plug, Slot*& slot) {
  if (plug.isNull()) return MS::kInvalidParameter;
  if (plug.attributeImpl()->isMessage()) return MS::kInvalidParameter;
  if (plug.isArray() && !plug.isElement()) return MS::kInvalidParameter;
  if (isLocked(plug)) return MS::kFailure;
  slot = plug.nodeImpl()->slot(*plug.attributeImpl(), plug.indices(), true);
  return slot ? MS::kSuccess : MS::kInvalidParameter;
}

}  // namespace zovhost
