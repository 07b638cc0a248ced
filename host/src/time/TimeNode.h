#pragma once

#include <maya/MObject.h>
#include <maya/MPxNode.h>

namespace zovhost {

class NodeTypeRegistry;

/// The host's time node ("time", function-set type kTime): its outTime holds
/// the current time and drives whatever is connected to it.
class TimeNode : public MPxNode {
 public:
  static void* creator();
  static MStatus initialize();
  static MObject outTime;
};

/// Registers the "time" node type with the host's own types.
void registerTimeNodeType(NodeTypeRegistry& registry);

}  // namespace zovhost
