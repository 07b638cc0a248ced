#include "mesh/PolyPrimitiveNode.h"

#include <maya/MDataBlock.h>
#include <maya/MFnNumericAttribute.h>
#include <maya/MFnTypedAttribute.h>
#include <maya/MFnUnitAttribute.h>

#include "core/Logs.h"
#include "dg/NodeImpl.h"
#include "dg/NodeTypeRegistry.h"
#include "mesh/MeshData.h"
#include "mesh/MeshPrimitives.h"

#include <iterator>
#include <memory>
#include <new>

namespace zovhost {

// Named rather than anonymous: PrimitiveKind below holds these types.
namespace primitive_specs {

constexpr int kMaxSizes = 3;
constexpr int kMaxCounts = 3;

struct SizeSpec {
  const char* longName;
  const char* shortName;
  double initial;  ///< in centimetres
};

struct CountSpec {
  const char* longName;
  const char* shortName;
  int initial;
  int minimum;
};

using Builder = std::shared_ptr<MeshGeometry> (*)(const double* sizes, const int* counts, const MVector& axis);

}  // namespace primitive_specs

using namespace primitive_specs;

/// One primitive node type: its attributes and how it builds its mesh.
struct PrimitiveKind {
  const char* typeName;
  unsigned int typeId;
  MFn::Type apiType;
  std::vector<SizeSpec> sizes;
  std::vector<CountSpec> counts;
  Builder build;
};

/// The attributes of a primitive node type, made when the type is registered.
struct PrimitiveAttributes {
  std::vector<MObject> sizes;
  std::vector<MObject> counts;
  MObject axis;
  MObject output;
};

namespace {

std::vector<PrimitiveKind>& kinds() {
  static std::vector<PrimitiveKind> table = {
      {"polyCube",
       0x50435542,
       MFn::kPolyCube,
       {{"width", "w", 1.0}, {"height", "h", 1.0}, {"depth", "d", 1.0}},
       {{"subdivisionsWidth", "sw", 1, MeshPrimitives::kMinCubeDivisions},
        {"subdivisionsHeight", "sh", 1, MeshPrimitives::kMinCubeDivisions},
        {"subdivisionsDepth", "sd", 1, MeshPrimitives::kMinCubeDivisions}},
       [](const double* s, const int* c, const MVector& axis) {
         return MeshPrimitives::cube(s[0], s[1], s[2], c[0], c[1], c[2], axis);
       }},
      {"polyPlane",
       0x50504C4E,
       MFn::kPolyPlane,
       {{"width", "w", 1.0}, {"height", "h", 1.0}},
       {{"subdivisionsWidth", "sw", 10, MeshPrimitives::kMinPlaneDivisions},
        {"subdivisionsHeight", "sh", 10, MeshPrimitives::kMinPlaneDivisions}},
       [](const double* s, const int* c, const MVector& axis) {
         return MeshPrimitives::plane(s[0], s[1], c[0], c[1], axis);
       }},
      {"polyCylinder",
       0x5043594C,
       MFn::kPolyCylinder,
       {{"radius", "r", 1.0}, {"height", "h", 2.0}},
       {{"subdivisionsAxis", "sa", 20, MeshPrimitives::kMinAxisDivisions},
        {"subdivisionsHeight", "sh", 1, MeshPrimitives::kMinCylinderHeightDivisions},
        {"subdivisionsCaps", "sc", 1, MeshPrimitives::kMinCapDivisions}},
       [](const double* s, const int* c, const MVector& axis) {
         return MeshPrimitives::cylinder(s[0], s[1], c[0], c[1], c[2], axis);
       }},
      {"polySphere",
       0x50535048,
       MFn::kPolySphere,
       {{"radius", "r", 1.0}},
       {{"subdivisionsAxis", "sa", 20, MeshPrimitives::kMinAxisDivisions},
        {"subdivisionsHeight", "sh", 20, MeshPrimitives::kMinSphereHeightDivisions}},
       [](const double* s, const int* c, const MVector& axis) {
         return MeshPrimitives::sphere(s[0], c[0], c[1], axis);
       }},
  };
  return table;
}

PrimitiveAttributes& attributesOf(const PrimitiveKind& kind) {
  static std::vector<PrimitiveAttributes> made(kinds().size());
  return made[static_cast<size_t>(&kind - kinds().data())];
}

MStatus initializeKind(const PrimitiveKind& kind) {
  PrimitiveAttributes& made = attributesOf(kind);
  made = PrimitiveAttributes();
  MFnUnitAttribute unit;
  for (const SizeSpec& size : kind.sizes) {
    made.sizes.push_back(unit.create(size.longName, size.shortName, MFnUnitAttribute::kDistance, size.initial));
    unit.setMin(0.0);
  }
  MFnNumericAttribute numeric;
  for (const CountSpec& count : kind.counts) {
    made.counts.push_back(numeric.create(count.longName, count.shortName, MFnNumericData::kInt, count.initial));
    numeric.setMin(count.minimum);
    numeric.setMax(MeshPrimitives::kMaxDivisions);
  }
  MObject axisParts[3];
  const char* const suffixes[] = {"X", "Y", "Z"};
  for (int i = 0; i < 3; ++i)
    axisParts[i] = numeric.create(MString("axis") + suffixes[i], MString("ax") + MString(suffixes[i]).toLowerCase(),
                                  MFnNumericData::kDouble, i == 1 ? 1.0 : 0.0);
  made.axis = numeric.create("axis", "ax", axisParts[0], axisParts[1], axisParts[2]);
  MFnTypedAttribute typed;
  made.output = typed.create("output", "out", MFnData::kMesh);
  typed.setWritable(false);
  typed.setStorable(false);

  std::vector<MObject> inputs = made.sizes;
  inputs.insert(inputs.end(), made.counts.begin(), made.counts.end());
  inputs.push_back(made.axis);
  for (const MObject& input : inputs) MPxNode::addAttribute(input);
  MPxNode::addAttribute(made.output);
  for (const MObject& input : inputs) MPxNode::attributeAffects(input, made.output);
  return MS::kSuccess;
}

template <int Index>
void* createKind() {
  return new PolyPrimitiveNode(kinds()[Index]);
}

template <int Index>
MStatus initializeIndex() {
  return initializeKind(kinds()[Index]);
}

}  // namespace

MStatus PolyPrimitiveNode::compute(const MPlug& plug, MDataBlock& block) {
  const PrimitiveAttributes& made = attributesOf(m_kind);
  if (plug != made.output) return MS::kUnknownParameter;
  double sizes[kMaxSizes] = {0.0, 0.0, 0.0};
  int counts[kMaxCounts] = {0, 0, 0};
  for (size_t i = 0; i < made.sizes.size(); ++i) sizes[i] = block.inputValue(made.sizes[i]).asDouble();
  for (size_t i = 0; i < made.counts.size(); ++i) counts[i] = block.inputValue(made.counts[i]).asInt();
  const double3& axis = block.inputValue(made.axis).asDouble3();
  std::shared_ptr<MeshGeometry> geometry;
  try {
    geometry = m_kind.build(sizes, counts, MVector(axis[0], axis[1], axis[2]));
  } catch (const std::bad_alloc&) {
    // Too big for the memory there is: the node gives an empty mesh.
    displayError(name().str() + ": not enough memory for the mesh");
    geometry = std::make_shared<MeshGeometry>();
  }
  block.outputValue(plug).set(MObject(std::make_shared<MeshData>(geometry)));
  block.setClean(plug);
  return MS::kSuccess;
}

void registerPolyPrimitiveNodeTypes(NodeTypeRegistry& registry) {
  static const MCreatorFunction creators[] = {&createKind<0>, &createKind<1>, &createKind<2>, &createKind<3>};
  static const MInitializeFunction initializers[] = {&initializeIndex<0>, &initializeIndex<1>, &initializeIndex<2>,
                                                     &initializeIndex<3>};
  static_assert(std::size(creators) == std::size(initializers), "one initializer per creator");
  for (size_t i = 0; i < std::size(creators); ++i) {
    const PrimitiveKind& kind = kinds()[i];
    registry.registerBuiltin(kind.typeName, MTypeId(kind.typeId), creators[i], initializers[i], kind.apiType,
                             {kind.apiType, MFn::kPolyPrimitive, MFn::kDependencyNode}, {"polyPrimitive"});
  }
}

}  // namespace zovhost
