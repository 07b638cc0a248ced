// The host command that adds dynamic attributes to a node: addAttr.
//
// A compound is declared with its number of children ("-at compound -nc 2",
// or a numeric compound such as "-at double3 -nc 3") and then each child
// with "-p" naming it; the compound joins the node once every compound in
// its tree has all its children. "-at double3" without "-nc" makes the three
// children itself (name0, name1, name2).
#include <maya/MFnAttribute.h>
#include <maya/MFnCompoundAttribute.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MFnEnumAttribute.h>
#include <maya/MFnMessageAttribute.h>
#include <maya/MFnNumericAttribute.h>
#include <maya/MFnTypedAttribute.h>
#include <maya/MFnUnitAttribute.h>

#include "commands/ActiveSelection.h"
#include "commands/ArgumentText.h"
#include "core/DataObjects.h"
#include "core/Logs.h"
#include "dg/Graph.h"
#include "interpreter/HostArgs.h"

#include <map>
#include <memory>
#include <utility>

namespace zovhost {

namespace {

const std::pair<const char*, MFnNumericData::Type> kNumericTypes[] = {
    {"bool", MFnNumericData::kBoolean},    {"short", MFnNumericData::kShort},     {"long", MFnNumericData::kLong},
    {"float", MFnNumericData::kFloat},     {"double", MFnNumericData::kDouble},   {"float2", MFnNumericData::k2Float},
    {"float3", MFnNumericData::k3Float},   {"double2", MFnNumericData::k2Double}, {"double3", MFnNumericData::k3Double},
    {"double4", MFnNumericData::k4Double}, {"short2", MFnNumericData::k2Short},   {"short3", MFnNumericData::k3Short},
    {"long2", MFnNumericData::k2Int},      {"long3", MFnNumericData::k3Int}};

/// A compound declared with -numberOfChildren whose children are still to come.
struct PendingCompound {
  std::weak_ptr<NodeImpl> node;
  std::shared_ptr<AttributeImpl> attribute;
  unsigned int expected = 0;
  /// The compound at the top of its tree, which joins the node.
  std::shared_ptr<AttributeImpl> root;
};

/// The compounds waiting for children, by their long name.
std::multimap<std::string, PendingCompound>& pendingCompounds() {
  static std::multimap<std::string, PendingCompound> pending;
  return pending;
}

/// Makes the attribute an addAttr line describes; null when the type is unknown.
MObject makeAttribute(const HostArgs& args, const std::string& longName, const std::string& shortName) {
  const MString full(longName);
  const MString brief(shortName);
  const std::string type = args.value("attributeType", args.has("dataType") ? "" : "double");
  if (args.has("dataType")) {
    const std::string dataType = args.value("dataType");
    MFnTypedAttribute typed;
    if (dataType == "string") return typed.create(full, brief, MFnData::kString);
    if (dataType == "matrix") return typed.create(full, brief, MFnData::kMatrix);
    if (dataType == "mesh") return typed.create(full, brief, MFnData::kMesh);
    return MObject();
  }
  if (args.has("numberOfChildren")) {
    // The children come with -parent: the compound starts empty.
    if (type == "compound") return MFnCompoundAttribute().create(full, brief);
    for (const auto& [name, kind] : kNumericTypes)
      if (type == name && numericComponentCount(kind) > 1) {
        auto compound = std::make_shared<AttributeImpl>(AttributeKind::Numeric);
        compound->numericType = kind;
        compound->longName = longName;
        compound->shortName = shortName;
        return MObject(compound);
      }
    return MObject();
  }
  if (type == "message") return MFnMessageAttribute().create(full, brief);
  if (type == "time") return MFnUnitAttribute().create(full, brief, MFnUnitAttribute::kTime);
  if (type == "doubleLinear") return MFnUnitAttribute().create(full, brief, MFnUnitAttribute::kDistance);
  if (type == "doubleAngle") return MFnUnitAttribute().create(full, brief, MFnUnitAttribute::kAngle);
  if (type == "enum") {
    MFnEnumAttribute enumeration;
    MObject attribute = enumeration.create(full, brief);
    short value = 0;
    std::string fields = args.value("enumName");
    size_t start = 0;
    while (start < fields.size()) {
      const size_t end = fields.find(':', start);
      const std::string field = fields.substr(start, end == std::string::npos ? std::string::npos : end - start);
      if (!field.empty()) enumeration.addField(MString(field), value++);
      if (end == std::string::npos) break;
      start = end + 1;
    }
    return attribute;
  }
  for (const auto& [name, kind] : kNumericTypes)
    if (type == name) return MFnNumericAttribute().create(full, brief, kind);
  return MObject();
}

/// True when every compound of a tree has all its children.
bool complete(const AttributeImpl& attribute) {
  for (const auto& [name, pending] : pendingCompounds())
    if (pending.attribute.get() == &attribute && attribute.children.size() < pending.expected) return false;
  for (const auto& child : attribute.children)
    if (!complete(*child)) return false;
  return true;
}

void forgetTree(const std::shared_ptr<AttributeImpl>& root) {
  auto& pending = pendingCompounds();
  for (auto it = pending.begin(); it != pending.end();)
    it = it->second.root == root ? pending.erase(it) : std::next(it);
}

/// Adds an attribute to a node, with an undo step that takes it off again.
MStatus addToNode(const HostCall& call, const std::shared_ptr<NodeImpl>& node,
                  const std::shared_ptr<AttributeImpl>& attribute) {
  if (!node->addDynamicAttribute(attribute)) {
    displayError("addAttr: Found an attribute with the name '" + attribute->longName + "' on " + node->name);
    return MS::kFailure;
  }
  const MObject nodeObject(node);
  const MObject attributeObject(attribute);
  recordUndo(call,
             std::make_unique<FunctionEntry>(
                 "addAttr",
                 [nodeObject, attributeObject]() { MFnDependencyNode(nodeObject).removeAttribute(attributeObject); },
                 [node, attribute]() {
                   attribute->added = false;
                   node->addDynamicAttribute(attribute);
                 }));
  return MS::kSuccess;
}

/// Puts a child under the compound of the node waiting for it; the tree
/// joins the node once it is complete.
MStatus addChild(const HostCall& call, const std::shared_ptr<NodeImpl>& node, const std::string& parentName,
                 const std::shared_ptr<AttributeImpl>& child, unsigned int childCount) {
  auto& pending = pendingCompounds();
  auto found = pending.end();
  for (auto range = pending.equal_range(parentName); range.first != range.second; ++range.first)
    if (range.first->second.node.lock() == node) found = range.first;
  if (found == pending.end()) {
    displayError("addAttr: No compound '" + parentName + "' waits for children on " + node->name);
    return MS::kFailure;
  }
  const PendingCompound parent = found->second;
  if (parent.attribute->children.size() >= parent.expected) {
    displayError("addAttr: The compound '" + parentName + "' has all its " + std::to_string(parent.expected) +
                 " children");
    return MS::kFailure;
  }
  for (const auto& sibling : parent.attribute->children)
    if (sibling->findDescendant(child->longName) || sibling->findDescendant(child->shortName)) {
      displayError("addAttr: The compound '" + parentName + "' already has a child named '" + child->longName + "'");
      return MS::kFailure;
    }
  parent.attribute->children.push_back(child);
  adoptChildren(*parent.attribute);
  if (childCount > 0) pending.insert({child->longName, {node, child, childCount, parent.root}});
  if (!complete(*parent.root)) return MS::kSuccess;
  forgetTree(parent.root);
  return addToNode(call, node, parent.root);
}

MStatus addAttrCommand(HostCall& call, const HostArgs& args) {
  if (args.positional().size() > 1 || !args.has("longName")) {
    displayError("addAttr: give -longName and one node");
    return MS::kFailure;
  }
  // Without a node named, the attribute goes to the first selected node.
  std::shared_ptr<NodeImpl> node;
  if (args.positional().empty()) {
    MObject selected;
    if (activeSelection().length() == 0 || !activeSelection().getDependNode(0, selected)) {
      displayError("addAttr: No object was specified and none is selected");
      return MS::kFailure;
    }
    node = nodeOf(selected);
  } else if (!(node = sceneGraph().find(args.positional()[0]))) {
    displayError("No object matches name: " + args.positional()[0]);
    return MS::kFailure;
  }
  unsigned int childCount = 0;
  if (args.has("numberOfChildren") && (!parseUnsigned(args.value("numberOfChildren"), childCount) || childCount == 0)) {
    displayError("addAttr: -numberOfChildren needs a whole number above 0");
    return MS::kFailure;
  }
  const std::string longName = args.value("longName");
  const MObject attribute = makeAttribute(args, longName, args.value("shortName", longName));
  if (attribute.isNull()) {
    displayError(childCount > 0 ? "addAttr: -numberOfChildren needs a compound type (compound, double3, ...)"
                                : "addAttr: unknown attribute type");
    return MS::kFailure;
  }
  MFnAttribute flags(attribute);
  bool value = false;
  if (args.has("multi")) flags.setArray(true);
  if (args.has("keyable") && parseBool(args.value("keyable"), value)) flags.setKeyable(value);
  if (args.has("hidden") && parseBool(args.value("hidden"), value)) flags.setHidden(value);
  if (args.has("storable") && parseBool(args.value("storable"), value)) flags.setStorable(value);
  const auto impl = attributeOf(attribute);
  double number = 0.0;
  if (args.has("defaultValue") && parseDouble(args.value("defaultValue"), number)) impl->defaultNumber = number;
  if (args.has("minValue") && parseDouble(args.value("minValue"), number)) {
    impl->hasMin = true;
    impl->minValue = number;
  }
  if (args.has("maxValue") && parseDouble(args.value("maxValue"), number)) {
    impl->hasMax = true;
    impl->maxValue = number;
  }
  if (args.has("parent")) return addChild(call, node, args.value("parent"), impl, childCount);
  if (childCount > 0) {
    if (node->findAttribute(longName)) {
      displayError("addAttr: Found an attribute with the name '" + longName + "' on " + node->name);
      return MS::kFailure;
    }
    // A compound declared again before its children came starts over.
    auto& pending = pendingCompounds();
    for (auto range = pending.equal_range(longName); range.first != range.second; ++range.first)
      if (range.first->second.node.lock() == node) {
        forgetTree(range.first->second.root);
        break;
      }
    pending.insert({longName, {node, impl, childCount, impl}});
    return MS::kSuccess;
  }
  return addToNode(call, node, impl);
}

}  // namespace

void addAttributeCommands(Interpreter& interpreter) {
  addFlaggedCommands(interpreter, {{"addAttr",
                                    addAttrCommand,
                                    {{"ln", "longName", 1, 1},
                                     {"sn", "shortName", 1, 1},
                                     {"at", "attributeType", 1, 1},
                                     {"dt", "dataType", 1, 1},
                                     {"m", "multi", 0, 0},
                                     {"k", "keyable", 1, 1},
                                     {"dv", "defaultValue", 1, 1},
                                     {"min", "minValue", 1, 1},
                                     {"max", "maxValue", 1, 1},
                                     {"en", "enumName", 1, 1},
                                     {"h", "hidden", 1, 1},
                                     {"s", "storable", 1, 1},
                                     {"nc", "numberOfChildren", 1, 1},
                                     {"p", "parent", 1, 1}}}});
}

}  // namespace zovhost
