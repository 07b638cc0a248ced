#pragma once

#include <maya/MObject.h>
#include <maya/MPlug.h>
#include <maya/MStatus.h>
#include <maya/MString.h>
#include <maya/MTypeId.h>

#include <memory>
#include <vector>

namespace zovhost {
class ModifierOperation;
}

/// A queue of graph edits carried out by doIt and reverted by undoIt.
/// createNode makes the node at once (its handle is valid) but adds it to the
/// graph at doIt; DAG node types need an MDagModifier. connect checks the
/// plugs at once and reports a connection it could never make. A failing
/// operation is dropped and the others still run; doIt then reports the
/// failure. A node to delete that an earlier operation of the same doIt took
/// along (a DAG child with its parent, or a node a plug-in deletes when
/// another goes) is gone as asked. After undoIt, doIt carries the operations
/// out again.
class MDGModifier {
 public:
  MDGModifier();
  virtual ~MDGModifier();
  MDGModifier(const MDGModifier&) = delete;
  MDGModifier& operator=(const MDGModifier&) = delete;

  MObject createNode(const MTypeId& typeId, MStatus* status = nullptr);
  MObject createNode(const MString& typeName, MStatus* status = nullptr);
  MStatus renameNode(const MObject& node, const MString& newName);
  MStatus deleteNode(const MObject& node);
  MStatus connect(const MPlug& source, const MPlug& destination);
  MStatus connect(const MObject& sourceNode, const MObject& sourceAttribute, const MObject& destinationNode,
                  const MObject& destinationAttribute);
  MStatus disconnect(const MPlug& source, const MPlug& destination);
  MStatus disconnect(const MObject& sourceNode, const MObject& sourceAttribute, const MObject& destinationNode,
                     const MObject& destinationAttribute);
  MStatus doIt();
  MStatus undoIt();

 protected:
  /// Queues an edit.
  void addOperation(std::unique_ptr<zovhost::ModifierOperation> operation);

 private:
  std::vector<std::unique_ptr<zovhost::ModifierOperation>> m_operations;
  size_t m_done = 0;
};
