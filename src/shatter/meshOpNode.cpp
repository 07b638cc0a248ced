#include "src/shatter/meshOpNode.h"

#include <maya/MDataHandle.h>
#include <maya/MFnAttribute.h>
#include <maya/MFnMeshData.h>

#include "src/meshes/shardOutput.h"
#include "src/nodeAttributes.h"

const MTypeId zovMeshOpNode::id(0x113A83);

namespace {

/// The node state that makes a node pass its input on.
constexpr short kNodeHasNoEffect = 1;

/// Per-vertex values the roughening command fills: stored, hidden, one per point.
constexpr AttributeFlags kPerPointSetting = AttributeFlags().storable(true).keyable(false).hidden(true).array(true);
constexpr AttributeFlags kNoiseSetting = AttributeFlags().storable(true).keyable(false);

// The noise settings' ranges keep the displacement finite: the sine's
// argument is frequency x scale x the squared distance to the reference
// points (50 x length away), the displacement length x amplitude along a
// direction of unit components.
/// Subdivision passes: the subdivision makes one to four.
constexpr double kMaxPasses = 4.0;
constexpr double kMaxNoiseScale = 1e6;
/// The roughening strength a shatter group keeps at most.
constexpr double kMaxAmplitude = 4.0;
constexpr double kMaxFrequency = 1e3;
constexpr double kMaxNoiseLength = 1e6;

MObject meshOpOutputMesh() {
  const MObject attribute = dataAttribute("outMesh", "om", MFnData::kMesh, AttributeFlags().storable(false));
  MFnAttribute(attribute).setWritable(false);
  return attribute;
}

}  // namespace

void zovModifierBaseNode::captureMeshShading(const MDagPath& meshPath) {
  shadingSets.clear();
  faceShadingIndex.clear();
  uvSetNames.clear();
  getMeshShaders(meshPath, shadingSets, faceShadingIndex);
  MFnMesh(meshPath).getUVSetNames(uvSetNames);
}

MFn::Type zovModifierBaseNode::componentTypeFor(int operation) {
  switch (operation) {
    case zovMeshOpNode::kSubdivideFaces:
      return MFn::kMeshPolygonComponent;
    case zovMeshOpNode::kSubdivideEdges:
      return MFn::kMeshEdgeComponent;
    default:
      return MFn::kInvalid;
  }
}

MStatus zovMeshOpNode::initialize() {
  using Kind = MFnNumericData;
  const MStatus added = addAttributes({
      {version, numericAttribute("version", "ver", Kind::kShort, kCurrentVersion, kNotKeyable.hidden(true)),
       "addAttribute"},
      {inputComponents, dataAttribute("inputComponents", "ics", MFnData::kComponentList), "addAttribute"},
      {operationType,
       enumAttribute("operationType", "oprt", kClean,
                     {{"clean", kClean},
                      {"subdivideFaces", kSubdivideFaces},
                      {"SubdivideEdges", kSubdivideEdges},
                      {"assignUVs", kAssignUVs}},
                     AttributeFlags().keyable(true).hidden(false)),
       "addAttribute"},
      {operationMode,
       enumAttribute("operationMode", "opmd", 0, {{"hard_edges", 0}, {"soft_faces", 1}},
                     AttributeFlags().keyable(true).hidden(false)),
       "addAttribute"},
      {operationIter, boundedAttribute("operationIter", "oit", Kind::kShort, 0.0, 0.0, kMaxPasses, kNotKeyable),
       "addAttribute"},
      {inMesh, dataAttribute("inMesh", "im", MFnData::kMesh), "addAttribute"},
      {outMesh, meshOpOutputMesh(), "addAttribute"},
      {versel, numericAttribute("versel", "vsl", Kind::kByte, -1.0, kPerPointSetting), "addAttribute"},
      {normals, boundedAttribute("normals", "nor", Kind::k3Float, 1.0, -1.0, 1.0, kPerPointSetting), "addAttribute"},
      {indexBPoints, numericAttribute("indexBPoints", "ibp", Kind::k2Int, 0.0, kPerPointSetting), "addAttribute"},
      {scale, boundedAttribute("scale", "sce", Kind::kDouble, 1.0, 0.0, kMaxNoiseScale, kNoiseSetting), "addAttribute"},
      {amplitude, boundedAttribute("amplitude", "amp", Kind::kDouble, 1.0, 0.0, kMaxAmplitude, kNoiseSetting),
       "addAttribute"},
      {frequency, boundedAttribute("frequency", "fre", Kind::kDouble, 1.0, 0.0, kMaxFrequency, kNoiseSetting),
       "addAttribute"},
      {lenght, boundedAttribute("lenght", "len", Kind::kDouble, 1.0, 0.0, kMaxNoiseLength, kNoiseSetting),
       "addAttribute"},
      {center, pointAttribute("center", "cen", kNoiseSetting), "addAttribute"},
      {pruv, numericAttribute("pruv", "puv", Kind::kBoolean, 1.0, kNotKeyable.hidden(true)), "addAttribute"},
  });
  if (!added) return added;
  // The other noise settings are read when the amplitude (or an input) next
  // changes, so that setting them one by one computes nothing.
  for (const MObject* input : {&inMesh, &inputComponents, &operationType, &operationIter, &operationMode, &amplitude}) {
    const MStatus status = attributeAffects(*input, outMesh);
    if (!status) {
      status.perror("attributeAffects");
      return status;
    }
  }
  return MS::kSuccess;
}

MStatus zovMeshOpNode::compute(const MPlug& plug, MDataBlock& block) {
  MDataHandle output = block.outputValue(outMesh);
  const MObject input = block.inputValue(inMesh).data();
  if (block.inputValue(state).asShort() == kNodeHasNoEffect) {
    output.set(input);
    block.setClean(outMesh);
    return MS::kSuccess;
  }
  if (plug != outMesh) return MS::kUnknownParameter;

  const short operation = block.inputValue(operationType).asShort();
  const short mode = block.inputValue(operationMode).asShort();
  const std::int16_t iterations = block.inputValue(operationIter).asShort();
  // An operation that does not run or fails hands the input on, so that the
  // mesh below keeps its geometry.
  output.set(input);
  if (operation == kSubdivideFaces && !input.isNull()) {
    inputMeshData = input;
    MObject made = MFnMeshData().create();
    if (modifyMesh(made, kSubdivideFaces, mode, iterations)) output.set(made);
  } else if (operation == kAssignUVs && !input.isNull()) {
    inputMeshData = input;
    MObject copy = output.data();
    modifyMesh(copy, kAssignUVs, mode, iterations);
  }
  block.setClean(outMesh);
  return MS::kSuccess;
}
