#include "time/TimeNode.h"

#include <maya/MFnUnitAttribute.h>

#include "dg/NodeTypeRegistry.h"

namespace zovhost {

namespace {
// The host's own type id of the time node.
constexpr unsigned int kTimeNodeTypeId = 0x7454494D;
}  // namespace

MObject TimeNode::outTime;

void* TimeNode::creator() { return new TimeNode; }

MStatus TimeNode::initialize() {
  MFnUnitAttribute unitAttribute;
  outTime = unitAttribute.create("outTime", "o", MFnUnitAttribute::kTime, 0.0);
  unitAttribute.setStorable(false);
  unitAttribute.setWritable(false);
  return addAttribute(outTime);
}

void registerTimeNodeType(NodeTypeRegistry& registry) {
  registry.registerBuiltin("time", MTypeId(kTimeNodeTypeId), &TimeNode::creator, &TimeNode::initialize, MFn::kTime,
                           {MFn::kTime, MFn::kDependencyNode});
}

}  // namespace zovhost
