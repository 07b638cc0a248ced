#include "dg/Graph.h"

#include <algorithm>

namespace zovhost {

namespace {

bool sameIndices(const MPlug& a, const MPlug& b) { return a.indices() == b.indices(); }

bool samePlug(const MPlug& a, const MPlug& b) {
  return a.nodeImpl() == b.nodeImpl() && a.attributeImpl() == b.attributeImpl() && sameIndices(a, b);
}

// A leaf whose kind can feed a numeric destination.
bool isNumericLike(const AttributeImpl& a) { return a.holdsNumber(); }

bool kindsCompatible(const AttributeImpl& source, const AttributeImpl& destination) {
  if (source.isMessage() || destination.isMessage()) return source.isMessage() && destination.isMessage();
  if (source.isCompound() || destination.isCompound()) {
    if (!source.isCompound() || !destination.isCompound()) return false;
    if (source.children.size() != destination.children.size()) return false;
    for (size_t i = 0; i < source.children.size(); ++i)
      if (!kindsCompatible(*source.children[i], *destination.children[i])) return false;
    return true;
  }
  if (isNumericLike(source) && isNumericLike(destination)) return true;
  if (source.kind == AttributeKind::Typed && destination.kind == AttributeKind::Typed)
    return source.dataType == destination.dataType || destination.dataType == MFnData::kAny;
  return false;
}

// An array plug is connected as a whole only to another whole array.
bool shapesCompatible(const MPlug& source, const MPlug& destination) {
  const bool sourceWhole = source.isArray() && !source.isElement();
  const bool destinationWhole = destination.isArray() && !destination.isElement();
  return sourceWhole == destinationWhole;
}

}  // namespace

bool plugsOverlap(const MPlug& a, const MPlug& b) {
  if (a.nodeImpl() != b.nodeImpl() || !a.attributeImpl() || !b.attributeImpl()) return false;
  const AttributeImpl& attributeA = *a.attributeImpl();
  const AttributeImpl& attributeB = *b.attributeImpl();
  if (!attributeA.isAncestorOrSelfOf(attributeB) && !attributeB.isAncestorOrSelfOf(attributeA)) return false;
  const size_t shared = std::min(a.indices().size(), b.indices().size());
  for (size_t k = 0; k < shared; ++k) {
    const int x = a.indices()[k];
    const int y = b.indices()[k];
    if (x >= 0 && y >= 0 && x != y) return false;
  }
  return true;
}

MStatus Graph::checkConnection(const MPlug& source, const MPlug& destination, bool force) const {
  if (source.isNull() || destination.isNull()) return MS::kInvalidParameter;
  const auto& sourceNode = source.nodeImpl();
  const auto& destinationNode = destination.nodeImpl();
  if (!sourceNode->inGraph || !destinationNode->inGraph) return MS::kInvalidParameter;
  if (samePlug(source, destination)) return MS::kInvalidParameter;
  const AttributeImpl& from = *source.attributeImpl();
  const AttributeImpl& to = *destination.attributeImpl();
  if (!from.readable || !from.connectable || !to.writable || !to.connectable) return MS::kInvalidParameter;
  if (!kindsCompatible(from, to) || !shapesCompatible(source, destination)) return MS::kInvalidParameter;
  if (!force && (sourceNode->locked || destinationNode->locked || isLocked(destination))) return MS::kFailure;
  for (const auto& c : sourceNode->outgoing)
    if (samePlug(c->source, source) && samePlug(c->destination, destination)) return MS::kFailure;
  return MS::kSuccess;
}

MStatus Graph::connect(const MPlug& source, const MPlug& destination, bool force) {
  const MStatus status = checkConnection(source, destination, force);
  if (!status) return status;
  if (incomingOf(destination)) return MS::kFailure;
  attach(source, destination);
  // Making the elements exist at both ends, so that they count as elements.
  source.nodeImpl()->slot(*source.attributeImpl(), source.indices(), true);
  dirty(destination);
  return MS::kSuccess;
}

MStatus Graph::disconnect(const MPlug& source, const MPlug& destination, bool force) {
  const std::shared_ptr<Connection> connection = incomingOf(destination);
  if (!connection || !samePlug(connection->source, source)) return MS::kNotFound;
  if (!force && (source.nodeImpl()->locked || destination.nodeImpl()->locked)) return MS::kFailure;
  detach(connection);
  return MS::kSuccess;
}

std::shared_ptr<Connection> Graph::attach(const MPlug& source, const MPlug& destination) {
  auto connection = std::make_shared<Connection>();
  connection->source = source;
  connection->destination = destination;
  connection->serial = m_nextConnection++;
  source.nodeImpl()->outgoing.push_back(connection);
  destination.nodeImpl()->incoming.push_back(connection);
  return connection;
}

void Graph::detach(const std::shared_ptr<Connection>& connection) {
  auto& outgoing = connection->source.nodeImpl()->outgoing;
  auto& incoming = connection->destination.nodeImpl()->incoming;
  outgoing.erase(std::remove(outgoing.begin(), outgoing.end(), connection), outgoing.end());
  incoming.erase(std::remove(incoming.begin(), incoming.end(), connection), incoming.end());
  // The destination keeps the value it last had and its dependents see the change.
  const MPlug& destination = connection->destination;
  if (Slot* slot = destination.nodeImpl()->slot(*destination.attributeImpl(), destination.indices(), false))
    setSlotDirty(*slot, false);
  propagate(destination);
}

std::shared_ptr<Connection> Graph::incomingOf(const MPlug& destination) const {
  if (destination.isNull()) return nullptr;
  for (const auto& c : destination.nodeImpl()->incoming)
    if (samePlug(c->destination, destination)) return c;
  return nullptr;
}

std::vector<std::shared_ptr<Connection>> Graph::outgoingOf(const MPlug& source) const {
  std::vector<std::shared_ptr<Connection>> result;
  if (source.isNull()) return result;
  for (const auto& c : source.nodeImpl()->outgoing)
    if (samePlug(c->source, source)) result.push_back(c);
  return result;
}

std::vector<std::shared_ptr<Connection>> Graph::connections() const {
  std::vector<std::shared_ptr<Connection>> all;
  for (const auto& node : m_nodes) all.insert(all.end(), node->outgoing.begin(), node->outgoing.end());
  std::sort(all.begin(), all.end(), [](const auto& a, const auto& b) { return a->serial < b->serial; });
  return all;
}

bool Graph::isLocked(const MPlug& plug) const {
  if (plug.isNull()) return false;
  NodeImpl& node = *plug.nodeImpl();
  // The plug itself and every ancestor position on its way.
  for (const AttributeImpl* a = plug.attributeImpl().get(); a; a = a->parent) {
    std::vector<int> indices = plug.indices();
    indices.resize(a->arrayDepth());
    if (const Slot* slot = node.slot(*a, indices, false))
      if (slot->locked) return true;
  }
  return false;
}

}  // namespace zovhost
