#pragma once

/// The base of the module's node type `Node` on the host's node class `Base`
/// (MPxNode, MPxLocatorNode, MPxManipContainer): the creator the plug-in
/// registers for the type, and no copies, since a node stands for one object
/// of the scene and of the engine. A node type that makes more than the node
/// declares a creator of its own.
template <class Node, class Base>
class ModuleNode : public Base {
 public:
  ModuleNode() = default;
  ModuleNode(const ModuleNode&) = delete;
  ModuleNode& operator=(const ModuleNode&) = delete;

  /// A new node of the type, for the host to own.
  static void* creator() { return new Node; }
};
