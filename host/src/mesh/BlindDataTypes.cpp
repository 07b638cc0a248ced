#include "mesh/BlindDataTypes.h"

#include <maya/MFnMessageAttribute.h>
#include <maya/MFnNumericAttribute.h>
#include <maya/MFnTypedAttribute.h>
#include <maya/MPlug.h>

#include "dg/Graph.h"
#include "dg/NodeTypeRegistry.h"
#include "mesh/MeshGeometry.h"

#include <maya/MFnDependencyNode.h>

#include <algorithm>
#include <set>
#include <sstream>

namespace zovhost {

namespace {

// The host's own type id of the blind data template node.
constexpr unsigned int kBlindDataTemplateTypeId = 0x42445450;
constexpr const char* kIntFormat = "int";

/// The template node: its type id and its attributes' names and formats,
/// each list a run of words.
class BlindDataTemplateNode : public MPxNode {
 public:
  static void* creator() { return new BlindDataTemplateNode; }
  static MStatus initialize() {
    MFnNumericAttribute numeric;
    typeId = numeric.create("typeId", "tid", MFnNumericData::kInt, 0.0);
    MFnTypedAttribute typed;
    longNames = typed.create("longNames", "lnm", MFnData::kString);
    shortNames = typed.create("shortNames", "snm", MFnData::kString);
    formats = typed.create("formats", "fmt", MFnData::kString);
    message = MFnMessageAttribute().create("message", "msg");
    for (const MObject* attribute : {&message, &typeId, &longNames, &shortNames, &formats}) addAttribute(*attribute);
    return MS::kSuccess;
  }
  static MObject typeId;
  static MObject longNames;
  static MObject shortNames;
  static MObject formats;
  /// Feeds the "blindDataNodes" of the meshes holding values of the type.
  static MObject message;
};

MObject BlindDataTemplateNode::typeId;
MObject BlindDataTemplateNode::longNames;
MObject BlindDataTemplateNode::shortNames;
MObject BlindDataTemplateNode::formats;
MObject BlindDataTemplateNode::message;

std::vector<std::string> words(const MPlug& plug) {
  std::istringstream in(plug.asString().str());
  std::vector<std::string> result;
  for (std::string word; in >> word;) result.push_back(word);
  return result;
}

std::string joined(const std::vector<BlindDataAttribute>& attributes, std::string BlindDataAttribute::*field) {
  std::string text;
  for (const BlindDataAttribute& attribute : attributes) text += (text.empty() ? "" : " ") + attribute.*field;
  return text;
}

bool readTemplate(const std::shared_ptr<NodeImpl>& node, BlindDataType& type) {
  const MObject object(node);
  type.id = MPlug(object, BlindDataTemplateNode::typeId).asInt();
  const auto longs = words(MPlug(object, BlindDataTemplateNode::longNames));
  const auto shorts = words(MPlug(object, BlindDataTemplateNode::shortNames));
  const auto kinds = words(MPlug(object, BlindDataTemplateNode::formats));
  type.attributes.clear();
  for (size_t i = 0; i < longs.size(); ++i)
    type.attributes.push_back({longs[i], i < shorts.size() ? shorts[i] : longs[i], i < kinds.size() ? kinds[i] : ""});
  return true;
}

bool isName(const std::string& name) {
  if (name.empty()) return false;
  for (char c : name)
    if (std::isspace(static_cast<unsigned char>(c))) return false;
  return true;
}

}  // namespace

const BlindDataAttribute* BlindDataType::attribute(const std::string& name) const {
  for (const BlindDataAttribute& candidate : attributes)
    if (candidate.longName == name || candidate.shortName == name) return &candidate;
  return nullptr;
}

bool findBlindDataType(int id, BlindDataType& type) {
  for (const auto& node : sceneGraph().nodes())
    if (node->type->name == "blindDataTemplate" && readTemplate(node, type) && type.id == id) return true;
  return false;
}

void linkBlindDataTypes(const std::shared_ptr<NodeImpl>& mesh, const MeshGeometry& geometry) {
  const MPlug links = MFnDependencyNode(MObject(mesh)).findPlug("blindDataNodes");
  if (links.isNull()) return;
  for (const auto& [key, values] : geometry.faceBlindData()) {
    if (values.empty()) continue;
    for (const auto& node : sceneGraph().nodes()) {
      BlindDataType type;
      if (node->type->name != "blindDataTemplate" || !readTemplate(node, type) || type.id != key.first) continue;
      const MPlug source(MObject(node), BlindDataTemplateNode::message);
      unsigned int next = 0;
      bool linked = false;
      for (unsigned int i = 0; i < links.numElements(); ++i) {
        const MPlug element = links.elementByPhysicalIndex(i);
        next = std::max(next, element.logicalIndex() + 1);
        linked = linked || element.source() == source;
      }
      if (!linked) sceneGraph().connect(source, links.elementByLogicalIndex(next));
      break;
    }
  }
}

std::shared_ptr<NodeImpl> addBlindDataType(const BlindDataType& type, std::string& error) {
  BlindDataType existing;
  if (findBlindDataType(type.id, existing)) {
    error = "blind data id " + std::to_string(type.id) + " is already in use";
    return nullptr;
  }
  if (type.attributes.empty()) {
    error = "a blind data type needs at least one attribute";
    return nullptr;
  }
  std::set<std::string> names;
  for (const BlindDataAttribute& attribute : type.attributes) {
    if (!isName(attribute.longName) || !isName(attribute.shortName)) {
      error = "blind data attribute names must be single words";
      return nullptr;
    }
    if (!names.insert(attribute.longName).second ||
        (attribute.shortName != attribute.longName && !names.insert(attribute.shortName).second)) {
      error = "blind data attribute name '" + attribute.longName + "' is given twice";
      return nullptr;
    }
    if (attribute.format != kIntFormat) {
      error = "blind data format '" + attribute.format + "' is not supported (only \"int\")";
      return nullptr;
    }
  }
  MStatus status;
  auto node = sceneGraph().instantiate(nodeTypeRegistry().find("blindDataTemplate"), &status);
  if (!node || !sceneGraph().add(node)) {
    error = "the blind data template could not be made";
    return nullptr;
  }
  const MObject object(node);
  MPlug(object, BlindDataTemplateNode::typeId).setValue(type.id);
  MPlug(object, BlindDataTemplateNode::longNames)
      .setValue(MString(joined(type.attributes, &BlindDataAttribute::longName)));
  MPlug(object, BlindDataTemplateNode::shortNames)
      .setValue(MString(joined(type.attributes, &BlindDataAttribute::shortName)));
  MPlug(object, BlindDataTemplateNode::formats).setValue(MString(joined(type.attributes, &BlindDataAttribute::format)));
  return node;
}

void registerBlindDataTemplateType(NodeTypeRegistry& registry) {
  registry.registerBuiltin("blindDataTemplate", MTypeId(kBlindDataTemplateTypeId), &BlindDataTemplateNode::creator,
                           &BlindDataTemplateNode::initialize, MFn::kBlindDataTemplate,
                           {MFn::kBlindDataTemplate, MFn::kDependencyNode});
}

}  // namespace zovhost
