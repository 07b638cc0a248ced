#pragma once

#include <maya/MStatus.h>

#include <memory>
#include <string>
#include <vector>

namespace zovhost {

class MeshGeometry;
class NodeImpl;
class NodeTypeRegistry;

/// One attribute of a blind data type; only the "int" format is kept here.
struct BlindDataAttribute {
  std::string longName;
  std::string shortName;
  std::string format;
};

/// A blind data type: an id and its attributes. Types live in the scene as
/// "blindDataTemplate" nodes, so that they are saved with it.
struct BlindDataType {
  int id = 0;
  std::vector<BlindDataAttribute> attributes;

  /// The attribute with this long or short name, or null.
  const BlindDataAttribute* attribute(const std::string& name) const;
};

/// The type with this id in the scene; false when there is none.
bool findBlindDataType(int id, BlindDataType& type);
/// Adds a type as a new template node (returned). Fails, with the reason,
/// for a taken id, no attributes, a name that is empty or given twice, or a
/// format other than "int".
std::shared_ptr<NodeImpl> addBlindDataType(const BlindDataType& type, std::string& error);

/// Connects the "message" of the type of every blind data value the mesh
/// holds to the next element of the mesh node's "blindDataNodes", unless it
/// feeds one already.
void linkBlindDataTypes(const std::shared_ptr<NodeImpl>& mesh, const MeshGeometry& geometry);

/// Registers the "blindDataTemplate" node type with the host's own types.
void registerBlindDataTemplateType(NodeTypeRegistry& registry);

}  // namespace zovhost
