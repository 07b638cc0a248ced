// Two faults planted on purpose, to show that the scene runner catches what
// the sanitizers report. Built twice, as two modules:
//   plantedUseAfterFree (PLANT_USE_AFTER_FREE): the command "plantedReadFreed"
//     reads a buffer after freeing it;
//   plantedLeak (PLANT_LEAK): each "plantedLeakyNode" keeps a buffer that the
//     node never frees, so unloading the module leaves it behind.
#include <maya/MFnPlugin.h>
#include <maya/MGlobal.h>
#include <maya/MPxCommand.h>
#include <maya/MPxNode.h>

#include <cstdlib>

extern "C" const char MApiVersion[] = "20180000";

namespace {

#if defined(PLANT_USE_AFTER_FREE)
class ReadFreedCommand : public MPxCommand {
 public:
  static void* creator() { return new ReadFreedCommand; }
  MStatus doIt(const MArgList&) override {
    auto* values = static_cast<volatile int*>(std::malloc(4 * sizeof(int)));
    values[2] = 7;
    std::free(const_cast<int*>(values));
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuse-after-free"  // the read after free is the point
    setResult(static_cast<int>(values[2]));
#pragma GCC diagnostic pop
    return MS::kSuccess;
  }
};
#elif defined(PLANT_LEAK)
class LeakyNode : public MPxNode {
 public:
  LeakyNode() : buffer_(new double[64]()) {}
  static void* creator() { return new LeakyNode; }
  static MStatus initialize() { return MS::kSuccess; }

 private:
  double* buffer_;  // never freed: the planted leak
};
const MTypeId kLeakyNodeId(0x7F2A0);
#endif

}  // namespace

extern "C" MStatus initializePlugin(MObject object) {
  MFnPlugin plugin(object, "Test Vendor", "1.0", "Any");
#if defined(PLANT_USE_AFTER_FREE)
  return plugin.registerCommand("plantedReadFreed", ReadFreedCommand::creator);
#elif defined(PLANT_LEAK)
  return plugin.registerNode("plantedLeakyNode", kLeakyNodeId, LeakyNode::creator, LeakyNode::initialize);
#endif
}

extern "C" MStatus uninitializePlugin(MObject object) {
  MFnPlugin plugin(object);
#if defined(PLANT_USE_AFTER_FREE)
  return plugin.deregisterCommand("plantedReadFreed");
#elif defined(PLANT_LEAK)
  return plugin.deregisterNode(kLeakyNodeId);
#endif
}
