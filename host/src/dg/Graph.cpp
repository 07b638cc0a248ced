#include "dg/Graph.h"

#include <maya/MPxNode.h>

#include "core/CallbackRegistry.h"
#include "mathtypes/StatusOut.h"

#include <algorithm>
#include <cctype>
#include <set>

using zovhost::setStatus;

namespace zovhost {

void Graph::addRemovalListener(std::function<void(const MObject& node)> listener) {
  m_removalListeners.push_back(std::move(listener));
}

void Graph::hierarchyChanged(NodeImpl& node) {
  if (node.type->hierarchyChanged) node.type->hierarchyChanged(*this, node);
}

std::shared_ptr<NodeImpl> Graph::instantiate(const std::shared_ptr<NodeType>& type, MStatus* status) {
  if (!type || !type->registered || !type->creator) {
    setStatus(status, MS::kInvalidParameter);
    return nullptr;
  }
  auto node = std::make_shared<NodeImpl>(type, m_nextSerial++);
  node->user.reset(static_cast<MPxNode*>(type->creator()));
  if (!node->user) {
    setStatus(status, MS::kInsufficientMemory);
    return nullptr;
  }
  node->user->attachToNode(node.get());
  type->instances.push_back(node);
  node->user->postConstructor();
  setStatus(status, MS::kSuccess);
  return node;
}

MStatus Graph::add(const std::shared_ptr<NodeImpl>& node, const std::shared_ptr<NodeImpl>& dagParent) {
  std::vector<DagLink> links;
  if (dagParent) links.push_back({dagParent, Dag::kEnd});
  return addLinked(node, links);
}

MStatus Graph::addLinked(const std::shared_ptr<NodeImpl>& node, const std::vector<DagLink>& links) {
  if (!node || node->inGraph) return MS::kInvalidParameter;
  const bool dag = node->isDag();
  if (!dag && !links.empty()) return MS::kInvalidParameter;
  if (dag) {
    if (links.empty() && !checkParent(*node, nullptr)) return MS::kInvalidParameter;
    for (const DagLink& link : links)
      if (!checkParent(*node, link.parent.get())) return MS::kInvalidParameter;
  }
  const std::string base = node->type->defaultName.empty() ? node->type->name : node->type->defaultName;
  const std::string requested = node->name;
  node->name = requested.empty() ? uniqueName(base + "1") : uniqueName(requested);
  const bool renamed = m_nameMapping.active && !requested.empty() && node->name != requested;
  if (renamed) m_nameMapping.names[requested] = node->name;
  const auto position =
      std::upper_bound(m_nodes.begin(), m_nodes.end(), node->serial,
                       [](std::uint64_t serial, const std::shared_ptr<NodeImpl>& n) { return serial < n->serial; });
  m_nodes.insert(position, node);
  claimName(*node);
  node->inGraph = true;
  if (dag) {
    if (links.empty()) m_dag.link(nullptr, *node);
    for (const DagLink& link : links) m_dag.link(link.parent.get(), *node, link.position);
    hierarchyChanged(*node);
  }
  if (m_addedHolds > 0) {
    m_heldAdded.push_back(node);
    if (renamed) m_heldRenamed.emplace_back(node, requested);
  } else {
    m_callbacks.raiseNodeAdded(MObject(node), node->type->typeNames);
    if (renamed) m_callbacks.raiseNameChanged(MObject(node), requested);
  }
  return MS::kSuccess;
}

void Graph::releaseNodeAdded() {
  if (m_addedHolds == 0 || --m_addedHolds > 0) return;
  const std::vector<std::weak_ptr<NodeImpl>> held = std::move(m_heldAdded);
  m_heldAdded.clear();
  const std::vector<std::pair<std::weak_ptr<NodeImpl>, std::string>> renamed = std::move(m_heldRenamed);
  m_heldRenamed.clear();
  std::set<const NodeImpl*> raised;
  for (const auto& weak : held)
    if (const std::shared_ptr<NodeImpl> node = weak.lock(); node && node->inGraph && raised.insert(node.get()).second)
      m_callbacks.raiseNodeAdded(MObject(node), node->type->typeNames);
  // The nodes an imported file named with names already taken, once every
  // node it made is whole and known.
  for (const auto& [weak, requested] : renamed)
    if (const std::shared_ptr<NodeImpl> node = weak.lock(); node && node->inGraph && node->name != requested)
      m_callbacks.raiseNameChanged(MObject(node), requested);
}

const NodeImpl* Graph::removalBlocker(const NodeImpl& node) const {
  if (node.locked || node.defaultNode) return &node;
  for (const NodeImpl* child : node.dagChildren)
    if (child->dagParents.size() == 1)
      if (const NodeImpl* blocker = removalBlocker(*child)) return blocker;
  return nullptr;
}

MStatus Graph::remove(const std::shared_ptr<NodeImpl>& nodeToRemove, NodeRemoval* removal, bool force) {
  // A copy: the caller's pointer may live in the record about to be rewritten.
  const std::shared_ptr<NodeImpl> node = nodeToRemove;
  if (!node || !node->inGraph || node->deleting) return MS::kInvalidParameter;
  if (!force && removalBlocker(*node) != nullptr) return MS::kFailure;
  NodeRemoval unrecorded;
  NodeRemoval& record = removal ? *removal : unrecorded;
  record = NodeRemoval();
  record.node = node;
  record.serial = ++m_nextRemoval;
  node->deleting = true;
  m_callbacks.raiseNodeRemoved(MObject(node), node->type->typeNames);
  if (node->isDag()) removeFromDag(*node, record, force);

  // The connections in the order made, each once (a node may be connected to itself).
  std::vector<std::shared_ptr<Connection>> all = node->incoming;
  for (const auto& c : node->outgoing)
    if (std::find(all.begin(), all.end(), c) == all.end()) all.push_back(c);
  std::sort(all.begin(), all.end(), [](const auto& a, const auto& b) { return a->serial < b->serial; });
  for (const auto& c : all) record.connections.emplace_back(c->source, c->destination);
  for (const auto& c : all) detach(c);

  m_nodes.erase(std::remove(m_nodes.begin(), m_nodes.end(), node), m_nodes.end());
  releaseName(node->name);
  node->inGraph = false;
  node->removedBy = record.serial;
  node->deleting = false;
  for (const auto& listener : m_removalListeners) listener(MObject(node));
  if (!removal) dispose(record);
  return MS::kSuccess;
}

void Graph::removeFromDag(NodeImpl& node, NodeRemoval& record, bool force) {
  // Children with no other parent go with the node, last first so that each
  // one's recorded position is still right when it is put back.
  const std::vector<NodeImpl*> children = node.dagChildren;
  for (auto it = children.rbegin(); it != children.rend(); ++it) {
    if ((*it)->dagParents.size() != 1) continue;
    NodeRemoval childRemoval;
    if (remove((*it)->shared_from_this(), &childRemoval, force)) record.dagChildren.push_back(std::move(childRemoval));
  }
  // The others stay under their other parents.
  for (NodeImpl* child : std::vector<NodeImpl*>(node.dagChildren)) {
    const auto found = std::find(child->dagParents.begin(), child->dagParents.end(), &node);
    record.keptChildren.emplace_back(child->shared_from_this(), static_cast<size_t>(found - child->dagParents.begin()));
    m_dag.unlink(&node, *child);
    hierarchyChanged(*child);
  }
  record.dagParents = dagParentLinks(node);
  for (NodeImpl* parent : std::vector<NodeImpl*>(node.dagParents)) m_dag.unlink(parent, node);
}

MStatus Graph::restore(const NodeRemoval& removal) {
  const auto& node = removal.node;
  if (!node || node->inGraph || node->disposed || node->disposing || !node->type->registered) return MS::kFailure;
  // A node that comes back is announced once it is whole again: its
  // connections and its children back in place.
  holdNodeAdded();
  const MStatus status = restoreHeld(removal);
  releaseNodeAdded();
  return status;
}

MStatus Graph::restoreHeld(const NodeRemoval& removal) {
  const auto& node = removal.node;
  std::vector<DagLink> links;
  for (const DagLink& link : removal.dagParents)
    if (!link.parent || link.parent->inGraph) links.push_back(link);
  // A node whose parents are all gone can only come back under the world.
  if (links.empty() && !removal.dagParents.empty() && !checkParent(*node, nullptr)) return MS::kFailure;
  const MStatus status = addLinked(node, links);
  if (!status) return status;
  node->removedBy = 0;
  for (const auto& [child, position] : removal.keptChildren) {
    if (!child->inGraph || !checkParent(*child, node.get())) continue;
    m_dag.link(node.get(), *child, Dag::kEnd, position);
    hierarchyChanged(*child);
  }
  // The removal broke them whatever the locks: they come back the same way.
  for (const auto& [source, destination] : removal.connections) {
    if (!source.nodeImpl()->inGraph || !destination.nodeImpl()->inGraph) continue;
    if (incomingOf(destination)) continue;
    connect(source, destination, true);
  }
  for (auto it = removal.dagChildren.rbegin(); it != removal.dagChildren.rend(); ++it) restore(*it);
  return MS::kSuccess;
}

void Graph::dispose(const NodeRemoval& removal) {
  // A node removed again since (a record made while the queue let go of
  // older ones, say) belongs to the newer record.
  if (removal.node && removal.node->removedBy == removal.serial) destroy(removal.node, removal.connections);
  for (const NodeRemoval& child : removal.dagChildren) dispose(child);
}

void Graph::dispose(const std::shared_ptr<NodeImpl>& node) {
  if (node) destroy(node, {});
}

void Graph::destroy(const std::shared_ptr<NodeImpl>& node, const std::vector<std::pair<MPlug, MPlug>>& connections) {
  if (node->inGraph || node->deleting || node->disposing || node->disposed) return;
  const auto gone = [&](const MPlug& plug) {
    const NodeImpl& other = *plug.nodeImpl();
    return &other != node.get() && (other.disposed || other.disposing);
  };
  // The connections as they were, for the destructor's eyes only: no values
  // flow and nothing becomes dirty.
  std::vector<std::shared_ptr<Connection>> shown;
  for (const auto& [source, destination] : connections) {
    if (gone(source) || gone(destination) || incomingOf(destination)) continue;
    shown.push_back(attach(source, destination));
  }
  node->destroyUser();
  node->disposed = true;
  for (const auto& connection : shown) {
    auto& outgoing = connection->source.nodeImpl()->outgoing;
    auto& incoming = connection->destination.nodeImpl()->incoming;
    outgoing.erase(std::remove(outgoing.begin(), outgoing.end(), connection), outgoing.end());
    incoming.erase(std::remove(incoming.begin(), incoming.end(), connection), incoming.end());
  }
}

std::vector<DagLink> Graph::dagParentLinks(const NodeImpl& node) const {
  std::vector<DagLink> links;
  for (NodeImpl* parent : node.dagParents)
    links.push_back({parent ? parent->shared_from_this() : nullptr, m_dag.childPosition(parent, node)});
  return links;
}

MStatus Graph::checkParent(const NodeImpl& node, const NodeImpl* parent) const {
  if (!node.isDag()) return MS::kInvalidParameter;
  if (!parent) return node.hasFn(MFn::kTransform) ? MS::kSuccess : MS::kInvalidParameter;
  if (!parent->inGraph || !parent->hasFn(MFn::kTransform)) return MS::kInvalidParameter;
  if (parent == &node || m_dag.isAncestor(node, *parent)) return MS::kInvalidParameter;
  return MS::kSuccess;
}

MStatus Graph::setDagParents(NodeImpl& node, const std::vector<DagLink>& links) {
  if (!node.inGraph || links.empty()) return MS::kInvalidParameter;
  for (size_t i = 0; i < links.size(); ++i) {
    if (!checkParent(node, links[i].parent.get())) return MS::kInvalidParameter;
    for (size_t k = 0; k < i; ++k)
      if (links[k].parent == links[i].parent) return MS::kInvalidParameter;
  }
  for (NodeImpl* parent : std::vector<NodeImpl*>(node.dagParents)) m_dag.unlink(parent, node);
  for (const DagLink& link : links) m_dag.link(link.parent.get(), node, link.position);
  hierarchyChanged(node);
  return MS::kSuccess;
}

bool Graph::isValidName(const std::string& name) {
  if (name.empty() || !(std::isalpha(static_cast<unsigned char>(name[0])) || name[0] == '_')) return false;
  if (std::count(name.begin(), name.end(), '#') > 1) return false;
  return std::all_of(name.begin(), name.end(),
                     [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '#'; });
}

namespace {

// Trailing numbers longer than this are names like any other.
constexpr size_t kMaxNumberDigits = 18;

/// Splits "pCube12" into "pCube" and 12; false when the name does not end in
/// a number from 1 written without leading zeros.
bool splitNumber(const std::string& name, std::string& base, unsigned long& number) {
  size_t digits = name.size();
  while (digits > 0 && std::isdigit(static_cast<unsigned char>(name[digits - 1]))) --digits;
  const size_t count = name.size() - digits;
  if (count == 0 || count > kMaxNumberDigits || name[digits] == '0') return false;
  base = name.substr(0, digits);
  number = std::stoul(name.substr(digits));
  return true;
}

}  // namespace

void Graph::claimName(NodeImpl& node) {
  m_names[node.name] = &node;
  std::string base;
  unsigned long number = 0;
  if (splitNumber(node.name, base, number)) m_numbers[base].used.insert(number);
}

void Graph::releaseName(const std::string& name) {
  m_names.erase(name);
  std::string base;
  unsigned long number = 0;
  if (!splitNumber(name, base, number)) return;
  const auto found = m_numbers.find(base);
  if (found == m_numbers.end()) return;
  found->second.used.erase(number);
  found->second.lowestFree = std::min(found->second.lowestFree, number);
}

unsigned long Graph::lowestFreeNumber(const std::string& base, const NodeImpl* self) const {
  NameNumbers& numbers = m_numbers[base];
  unsigned long n = numbers.lowestFree;
  while (numbers.used.count(n) != 0) {
    const auto owner = m_names.find(base + std::to_string(n));
    if (owner != m_names.end() && owner->second == self) break;  // a node keeps its own name
    ++n;
  }
  numbers.lowestFree = n;  // every number passed is in use
  return n;
}

std::string Graph::uniqueName(const std::string& requested, const NodeImpl* self) const {
  const auto isFree = [&](const std::string& name) {
    const auto found = m_names.find(name);
    return found == m_names.end() || found->second == self;
  };
  const size_t hash = requested.find('#');
  if (hash != std::string::npos) {
    const std::string prefix = requested.substr(0, hash);
    const std::string suffix = requested.substr(hash + 1);
    // A number right after digits would read as part of them: try the names in turn.
    if (!suffix.empty() || (!prefix.empty() && std::isdigit(static_cast<unsigned char>(prefix.back())))) {
      for (unsigned long n = 1;; ++n)
        if (isFree(prefix + std::to_string(n) + suffix)) return prefix + std::to_string(n) + suffix;
    }
    return prefix + std::to_string(lowestFreeNumber(prefix, self));
  }
  if (isFree(requested)) return requested;
  // Taken: the name without its trailing digits, numbered from 1.
  std::string base = requested;
  while (!base.empty() && std::isdigit(static_cast<unsigned char>(base.back()))) base.pop_back();
  return base + std::to_string(lowestFreeNumber(base, self));
}

MStatus Graph::rename(NodeImpl& node, const std::string& requested) {
  if (!isValidName(requested)) return MS::kInvalidParameter;
  if (node.locked || node.defaultNode) return MS::kFailure;
  if (!node.inGraph) {
    node.name = requested;
    return MS::kSuccess;
  }
  const std::string previous = node.name;
  releaseName(node.name);
  node.name = uniqueName(requested, &node);
  claimName(node);
  if (node.name != previous) m_callbacks.raiseNameChanged(MObject(node.shared_from_this()), previous);
  return MS::kSuccess;
}

std::shared_ptr<NodeImpl> Graph::find(const std::string& requested) const {
  std::string name = requested;
  const size_t bar = name.rfind('|');
  if (m_nameMapping.active) {
    const auto mapped = m_nameMapping.names.find(bar == std::string::npos ? name : name.substr(bar + 1));
    if (mapped != m_nameMapping.names.end()) name = name.substr(0, bar + 1) + mapped->second;
  }
  const auto found = m_names.find(bar == std::string::npos ? name : name.substr(bar + 1));
  if (found == m_names.end()) return nullptr;
  NodeImpl* node = found->second;
  if (bar == std::string::npos) return node->shared_from_this();
  // A path name must match the end of one of the node's paths (all of it when it starts with '|').
  const bool absolute = name[0] == '|';
  for (const DagNodePath& path : m_dag.paths(*node)) {
    std::string full = Dag::fullPathName(path);
    const std::string wanted = absolute ? name : "|" + name;
    if (full == wanted || (!absolute && full.size() > wanted.size() &&
                           full.compare(full.size() - wanted.size(), wanted.size(), wanted) == 0))
      return node->shared_from_this();
  }
  return nullptr;
}

void Graph::clear() {
  // Newest first, so that nodes made from others go before them.
  while (!m_nodes.empty()) {
    const std::shared_ptr<NodeImpl> node = m_nodes.back();
    remove(node, nullptr, true);
  }
  m_names.clear();
  m_numbers.clear();
  m_dag.clear();
}

}  // namespace zovhost
