#pragma once

#include <maya/MPlug.h>
#include <maya/MStatus.h>

#include "dg/Graph.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace zovhost {

/// One graph edit of a modifier: applied by doIt, reverted by undoIt.
class ModifierOperation {
 public:
  virtual ~ModifierOperation() = default;
  virtual MStatus apply() = 0;
  virtual void revert() = 0;
  /// Asked when apply failed, in a pass of doIt that began after removal
  /// `removalsBefore` (Graph::lastRemoval): whether an edit applied earlier
  /// in the pass already did this one's work. The edit then counts as
  /// applied and has nothing of its own to revert.
  virtual bool doneAlready(std::uint64_t /*removalsBefore*/) { return false; }
};

/// Adds a node made beforehand (a DAG node under dagParent, null for the
/// world); reverting takes it out again (it stays alive for a later apply).
/// A node that is out of the graph when the operation goes is let go of.
class CreateNodeOperation : public ModifierOperation {
 public:
  explicit CreateNodeOperation(std::shared_ptr<NodeImpl> node, std::shared_ptr<NodeImpl> dagParent = nullptr)
      : m_dagParent(std::move(dagParent)) {
    m_removal.node = std::move(node);
  }
  ~CreateNodeOperation() override;
  CreateNodeOperation(const CreateNodeOperation&) = delete;
  CreateNodeOperation& operator=(const CreateNodeOperation&) = delete;
  MStatus apply() override;
  void revert() override;

 private:
  NodeRemoval m_removal;
  std::shared_ptr<NodeImpl> m_dagParent;
  bool m_added = false;
};

/// Gives a DAG node new parents; reverting gives back the ones it had.
class SetParentsOperation : public ModifierOperation {
 public:
  SetParentsOperation(std::shared_ptr<NodeImpl> node, std::vector<DagLink> links)
      : m_node(std::move(node)), m_links(std::move(links)) {}
  MStatus apply() override;
  void revert() override;

 private:
  std::shared_ptr<NodeImpl> m_node;
  std::vector<DagLink> m_links;
  std::vector<DagLink> m_previous;
};

class RenameNodeOperation : public ModifierOperation {
 public:
  RenameNodeOperation(std::shared_ptr<NodeImpl> node, std::string name)
      : m_node(std::move(node)), m_name(std::move(name)) {}
  MStatus apply() override;
  void revert() override;

 private:
  std::shared_ptr<NodeImpl> m_node;
  std::string m_name;
  std::string m_previous;
};

/// Deletes a node; reverting puts it back. A node still deleted when the
/// operation goes is let go of. A node that an earlier edit's removal took
/// along in the same pass (a DAG child with its parent, a node that a
/// node-removed callback deletes with another) is deleted as asked; the
/// removal that took it gives it back.
class DeleteNodeOperation : public ModifierOperation {
 public:
  explicit DeleteNodeOperation(std::shared_ptr<NodeImpl> node) : m_node(std::move(node)) {}
  ~DeleteNodeOperation() override;
  DeleteNodeOperation(const DeleteNodeOperation&) = delete;
  DeleteNodeOperation& operator=(const DeleteNodeOperation&) = delete;
  MStatus apply() override;
  void revert() override;
  bool doneAlready(std::uint64_t removalsBefore) override;

 private:
  std::shared_ptr<NodeImpl> m_node;
  NodeRemoval m_removal;
};

class ConnectOperation : public ModifierOperation {
 public:
  ConnectOperation(MPlug source, MPlug destination, bool connect)
      : m_source(std::move(source)), m_destination(std::move(destination)), m_connect(connect) {}
  MStatus apply() override;
  void revert() override;

 private:
  MPlug m_source;
  MPlug m_destination;
  bool m_connect;
};

}  // namespace zovhost
