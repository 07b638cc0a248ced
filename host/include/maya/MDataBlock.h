#pragma once

#include <maya/MDataHandle.h>
#include <maya/MObject.h>
#include <maya/MPlug.h>
#include <maya/MStatus.h>

#include <memory>

namespace zovhost {
class NodeImpl;
}

/// The data of one node as its compute sees it. inputValue makes a plug's
/// value current first (pulling or computing it); outputValue does not.
/// Values written through the handles persist in the node.
class MDataBlock {
 public:
  MDataHandle inputValue(const MPlug& plug, MStatus* status = nullptr);
  MDataHandle inputValue(const MObject& attribute, MStatus* status = nullptr);
  MDataHandle outputValue(const MPlug& plug, MStatus* status = nullptr);
  MDataHandle outputValue(const MObject& attribute, MStatus* status = nullptr);
  /// Marks a plug (or an attribute's plug) clean.
  MStatus setClean(const MPlug& plug);
  MStatus setClean(const MObject& attribute);
  bool isClean(const MPlug& plug, MStatus* status = nullptr);
  bool isClean(const MObject& attribute, MStatus* status = nullptr);

  // Host side: the block of a node.
  explicit MDataBlock(std::shared_ptr<zovhost::NodeImpl> node) : m_node(std::move(node)) {}

 private:
  MPlug plugOf(const MObject& attribute) const;
  std::shared_ptr<zovhost::NodeImpl> m_node;
};
