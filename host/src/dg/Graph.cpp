#include "dg/Graph.h"

#include <maya/MPxNode.h>

#include "core/Host.h"

#include <algorithm>
#include <cctype>

namespace zovhost {

std::shared_ptr<NodeImpl> Graph::instantiate(const std::shared_ptr<NodeType>& type, MStatus* status) {
  if (!type || !type->registered || !type->creator) {
    if (status) *status = MS::kInvalidParameter;
    return nullptr;
  }
  auto node = std::make_shared<NodeImpl>(type, m_nextSerial++);
  node->user.reset(static_cast<MPxNode*>(type->creator()));
  if (!node->user) {
    if (status) *status = MS::kInsufficientMemory;
    return nullptr;
  }
  node->user->attachToNode(node.get());
  type->instances.push_back(node);
  node->user->postConstructor();
  if (status) *status = MS::kSuccess;
  return node;
}

MStatus Graph::add(const std::shared_ptr<NodeImpl>& node) {
  if (!node || node->inGraph) return MS::kInvalidParameter;
  const std::string requested = node->name.empty() ? node->type->name : node->name;
  node->name = node->name.empty() ? uniqueName(requested + "1") : uniqueName(requested);
  const auto position = std::upper_bound(m_nodes.begin(), m_nodes.end(), node->serial,
                                         [](std::uint64_t serial, const std::shared_ptr<NodeImpl>& n) {
                                           return serial < n->serial;
                                         });
  m_nodes.insert(position, node);
  m_names[node->name] = node.get();
  node->inGraph = true;
  host().callbacks.raiseNodeAdded(node);
  return MS::kSuccess;
}

MStatus Graph::remove(const std::shared_ptr<NodeImpl>& node, NodeRemoval* removal, bool force) {
  if (!node || !node->inGraph || node->deleting) return MS::kInvalidParameter;
  if (!force && (node->locked || node->defaultNode)) return MS::kFailure;
  node->deleting = true;
  host().callbacks.raiseNodeRemoved(node);

  // The connections in the order made, each once (a node may be connected to itself).
  std::vector<std::shared_ptr<Connection>> all = node->incoming;
  for (const auto& c : node->outgoing)
    if (std::find(all.begin(), all.end(), c) == all.end()) all.push_back(c);
  std::sort(all.begin(), all.end(), [](const auto& a, const auto& b) { return a->serial < b->serial; });
  if (removal) {
    removal->node = node;
    removal->connections.clear();
    for (const auto& c : all) removal->connections.emplace_back(c->source, c->destination);
  }
  for (const auto& c : all) detach(c);

  m_nodes.erase(std::remove(m_nodes.begin(), m_nodes.end(), node), m_nodes.end());
  m_names.erase(node->name);
  node->inGraph = false;
  node->deleting = false;
  host().selection.removeNode(MObject(node));
  return MS::kSuccess;
}

MStatus Graph::restore(const NodeRemoval& removal) {
  const auto& node = removal.node;
  if (!node || node->inGraph || !node->type->registered) return MS::kFailure;
  const MStatus status = add(node);
  if (!status) return status;
  for (const auto& [source, destination] : removal.connections) {
    if (!source.nodeImpl()->inGraph || !destination.nodeImpl()->inGraph) continue;
    if (incomingOf(destination)) continue;
    connect(source, destination);
  }
  return MS::kSuccess;
}

bool Graph::isValidName(const std::string& name) {
  if (name.empty() || std::isdigit(static_cast<unsigned char>(name[0]))) return false;
  return std::all_of(name.begin(), name.end(),
                     [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; });
}

std::string Graph::uniqueName(const std::string& requested, const NodeImpl* self) const {
  const auto isFree = [&](const std::string& name) {
    const auto found = m_names.find(name);
    return found == m_names.end() || found->second == self;
  };
  if (isFree(requested)) return requested;
  // Taken: the name without its trailing digits, numbered from 1.
  std::string base = requested;
  while (!base.empty() && std::isdigit(static_cast<unsigned char>(base.back()))) base.pop_back();
  for (unsigned long n = 1;; ++n) {
    const std::string candidate = base + std::to_string(n);
    if (isFree(candidate)) return candidate;
  }
}

MStatus Graph::rename(NodeImpl& node, const std::string& requested) {
  if (!isValidName(requested)) return MS::kInvalidParameter;
  if (node.locked || node.defaultNode) return MS::kFailure;
  if (!node.inGraph) {
    node.name = requested;
    return MS::kSuccess;
  }
  m_names.erase(node.name);
  node.name = uniqueName(requested, &node);
  m_names[node.name] = &node;
  return MS::kSuccess;
}

std::shared_ptr<NodeImpl> Graph::find(const std::string& name) const {
  const auto found = m_names.find(name);
  return found == m_names.end() ? nullptr : found->second->shared_from_this();
}

void Graph::clear() {
  // Newest first, so that nodes made from others go before them.
  while (!m_nodes.empty()) {
    const std::shared_ptr<NodeImpl> node = m_nodes.back();
    remove(node, nullptr, true);
  }
  m_names.clear();
}

}  // namespace zovhost
