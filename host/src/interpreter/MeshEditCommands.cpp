// Host commands that edit what meshes carry: blindDataType and polyBlindData
// (integer face blind data), sets (shading group membership) and uvLink
// (UV sets linked to textures).
#include <maya/MDGModifier.h>
#include <maya/MFnDependencyNode.h>

#include "commands/ArgumentText.h"
#include "core/Logs.h"
#include "dg/Graph.h"
#include "interpreter/AttributeText.h"
#include "interpreter/HostArgs.h"
#include "mesh/BlindDataTypes.h"
#include "mesh/MeshNode.h"
#include "mesh/ShadingGroups.h"

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace zovhost {

namespace {

/// A mesh named on a command line, whole or some of its faces.
struct MeshMember {
  std::shared_ptr<NodeImpl> mesh;
  bool whole = true;
  std::vector<int> faces;
};

/// The mesh shape a node name stands for: the node itself, or the one mesh
/// below a transform.
std::shared_ptr<NodeImpl> meshNamed(const std::string& name) {
  const auto node = sceneGraph().find(name);
  if (!node) return nullptr;
  if (node->hasFn(MFn::kMesh)) return node;
  if (node->hasFn(MFn::kTransform))
    for (NodeImpl* child : node->dagChildren)
      if (child->hasFn(MFn::kMesh)) return child->shared_from_this();
  return nullptr;
}

/// "mesh", "mesh.f[3]", "mesh.f[2:5]" or "mesh.f[*]"; false (with the
/// reason shown) for anything else.
bool parseMember(const std::string& command, const std::string& word, MeshMember& member) {
  const size_t dot = word.find(".f[");
  const std::string name = word.substr(0, dot);
  member.mesh = meshNamed(name);
  if (!member.mesh) {
    displayError(sceneGraph().find(name) ? command + ": '" + name + "' is not a mesh"
                                         : "No object matches name: " + name);
    return false;
  }
  member.whole = dot == std::string::npos;
  if (member.whole) return true;
  const std::string list = word.substr(dot + 1);
  const int polygons = MeshNode::geometry(member.mesh)->polygonCount();
  if (list == "f[*]") {
    for (int f = 0; f < polygons; ++f) member.faces.push_back(f);
    return true;
  }
  if (!parseFaceListText(list, member.faces) || member.faces.empty() || member.faces.back() >= polygons) {
    displayError(command + ": '" + word + "' names no faces of the mesh");
    return false;
  }
  return true;
}

bool parseMembers(const std::string& command, const std::vector<std::string>& words, size_t first,
                  std::vector<MeshMember>& members) {
  for (size_t i = first; i < words.size(); ++i) {
    MeshMember member;
    if (!parseMember(command, words[i], member)) return false;
    members.push_back(member);
  }
  return true;
}

std::vector<int> allFaces(const std::shared_ptr<NodeImpl>& mesh) {
  std::vector<int> faces(static_cast<size_t>(MeshNode::geometry(mesh)->polygonCount()));
  for (size_t i = 0; i < faces.size(); ++i) faces[i] = static_cast<int>(i);
  return faces;
}

MStatus blindDataTypeCommand(HostCall& call, const HostArgs& args) {
  int id = 0;
  if (!args.has("typeId") || !parseInt(args.value("typeId"), id) || id < 0) {
    displayError("blindDataType: -typeId needs a blind data id (a whole number of at least 0)");
    return MS::kFailure;
  }
  if (args.query()) {
    // The ids of the types defined with this id: the id itself, or nothing.
    BlindDataType type;
    call.result.setInts(findBlindDataType(id, type) ? std::vector<int>{id} : std::vector<int>{});
    return MS::kSuccess;
  }
  const auto& kinds = args.values("dataType");
  const auto& longNames = args.values("longDataName");
  const auto& shortNames = args.values("shortDataName");
  if (kinds.size() != longNames.size() || (!shortNames.empty() && shortNames.size() != longNames.size())) {
    displayError("blindDataType: give one -dataType and -longDataName (and -shortDataName) per attribute");
    return MS::kFailure;
  }
  BlindDataType type;
  type.id = id;
  for (size_t i = 0; i < longNames.size(); ++i)
    type.attributes.push_back({longNames[i], shortNames.empty() ? longNames[i] : shortNames[i], kinds[i]});
  std::string error;
  const auto node = addBlindDataType(type, error);
  if (!node) {
    displayError("blindDataType: " + error);
    return MS::kFailure;
  }
  recordUndo(call, std::make_unique<FunctionEntry>(
                       "blindDataType", [node]() { sceneGraph().remove(node, nullptr, true); },
                       [node]() { sceneGraph().add(node); }));
  call.result.setString(node->name);
  return MS::kSuccess;
}

MStatus polyBlindDataCommand(HostCall& call, const HostArgs& args) {
  int id = 0;
  int value = 0;
  if (!args.has("typeId") || !parseInt(args.value("typeId"), id)) {
    displayError("polyBlindData: -typeId needs a blind data id");
    return MS::kFailure;
  }
  if (args.value("associationType", "face") != "face") {
    displayError("polyBlindData: only face blind data (-associationType \"face\") is kept");
    return MS::kFailure;
  }
  if (!args.has("intData") || !parseInt(args.value("intData"), value)) {
    displayError("polyBlindData: -intData needs a whole number");
    return MS::kFailure;
  }
  BlindDataType type;
  if (!findBlindDataType(id, type)) {
    displayError("polyBlindData: blind data type " + std::to_string(id) + " does not exist");
    return MS::kFailure;
  }
  const std::string name = args.has("longDataName") ? args.value("longDataName") : args.value("shortDataName");
  const BlindDataAttribute* attribute = type.attribute(name);
  if (!attribute) {
    displayError("polyBlindData: blind data type " + std::to_string(id) + " has no attribute '" + name + "'");
    return MS::kFailure;
  }
  std::vector<MeshMember> members;
  if (!parseMembers("polyBlindData", args.positional(), 0, members)) return MS::kFailure;
  if (members.empty()) {
    displayError("polyBlindData: give the faces to tag");
    return MS::kFailure;
  }
  // Each mesh gets one new geometry with every value set; undo puts the old one back.
  std::map<NodeImpl*, std::pair<std::shared_ptr<const MeshGeometry>, std::shared_ptr<MeshGeometry>>> edits;
  for (const MeshMember& member : members) {
    auto& edit = edits[member.mesh.get()];
    if (!edit.first) {
      edit.first = MeshNode::geometry(member.mesh);
      edit.second = std::make_shared<MeshGeometry>(*edit.first);
    }
    for (int face : member.whole ? allFaces(member.mesh) : member.faces)
      edit.second->setFaceBlindValue(id, attribute->longName, face, value);
  }
  std::vector<std::function<void()>> undo;
  std::vector<std::function<void()>> redo;
  for (auto& [node, edit] : edits) {
    const auto mesh = node->shared_from_this();
    const MStatus status = MeshNode::setGeometry(mesh, edit.second);
    if (!status) {
      for (auto& restore : undo) restore();
      displayError("polyBlindData: cannot change '" + node->name + "' (its mesh comes from a connection or is locked)");
      return MS::kFailure;
    }
    undo.push_back([mesh, old = edit.first]() { MeshNode::setGeometry(mesh, old); });
    redo.push_back([mesh, made = edit.second]() { MeshNode::setGeometry(mesh, made); });
  }
  recordUndo(call, std::make_unique<FunctionEntry>(
                       "polyBlindData",
                       [undo]() {
                         for (const auto& f : undo) f();
                       },
                       [redo]() {
                         for (const auto& f : redo) f();
                       }));
  return MS::kSuccess;
}

/// sets -renderable true [-noSurfaceShader true] -empty [-name N]: a new,
/// empty shading group; answers its name.
MStatus createSet(HostCall& call, const HostArgs& args) {
  bool renderable = false;
  if (!args.has("renderable") || !parseBool(args.value("renderable"), renderable) || !renderable ||
      !args.has("empty") || !args.positional().empty()) {
    displayError("sets: this host makes only empty shading groups (-renderable true -empty)");
    return MS::kFailure;
  }
  const std::string name = args.value("name", "set1");
  if (!Graph::isValidName(name)) {
    displayError("sets: invalid set name '" + name + "'");
    return MS::kFailure;
  }
  auto modifier = std::make_shared<MDGModifier>();
  const MObject group = modifier->createNode(MString("shadingEngine"));
  if (group.isNull()) {
    displayError("sets: cannot create a shading group");
    return MS::kFailure;
  }
  nodeOf(group)->name = name;
  modifier->doIt();
  recordUndo(call, std::make_unique<FunctionEntry>(
                       "sets", [modifier]() { modifier->undoIt(); }, [modifier]() { modifier->doIt(); }));
  call.result.setString(nodeOf(group)->name);
  return MS::kSuccess;
}

MStatus setsCommand(HostCall& call, const HostArgs& args) {
  const char* modes[] = {"forceElement", "include", "remove"};
  const auto given = std::count_if(std::begin(modes), std::end(modes), [&](const char* m) { return args.has(m); });
  if (!args.query() && !args.edit() && given == 0) return createSet(call, args);
  if (args.query()) {
    if (args.positional().size() != 1) {
      displayError("sets: name one set to query");
      return MS::kFailure;
    }
    const auto group = sceneGraph().find(args.positional()[0]);
    if (!group || !group->hasFn(MFn::kSet)) {
      displayError("sets: '" + args.positional()[0] + "' is not a set");
      return MS::kFailure;
    }
    call.result.setStrings(groupMemberNames(group));
    return MS::kSuccess;
  }
  if (given != 1) {
    displayError("sets: this host edits sets with one of -forceElement, -include or -remove");
    return MS::kFailure;
  }
  const char* mode = args.has("forceElement") ? "forceElement" : args.has("include") ? "include" : "remove";
  const auto group = sceneGraph().find(args.value(mode));
  if (!group || group->type->name != "shadingEngine") {
    displayError("sets: '" + args.value(mode) + "' is not a shading group");
    return MS::kFailure;
  }
  std::vector<MeshMember> members;
  if (!parseMembers("sets", args.positional(), 0, members)) return MS::kFailure;
  std::map<NodeImpl*, std::vector<SetMembership>> before;
  for (const MeshMember& member : members) before.emplace(member.mesh.get(), meshMemberships(member.mesh));
  MStatus result;
  for (const MeshMember& member : members) {
    std::vector<int> skipped;
    const MStatus status =
        std::string(mode) == "remove"
            ? removeGroupMembers(group, member.mesh, member.whole, member.faces)
            : addGroupMembers(group, member.mesh, member.whole, member.faces,
                              std::string(mode) == "include" ? MemberMode::kInclude : MemberMode::kForce, &skipped);
    if (!status) result = status;
    if (!skipped.empty() && !args.has("noWarnings"))
      displayWarning("sets: " + member.mesh->name + "." + faceListText(skipped) +
                     " already in another shading group, not added to " + group->name);
  }
  if (!result) {
    for (const auto& [node, memberships] : before) setMeshMemberships(node->shared_from_this(), memberships);
    displayError("sets: cannot change the members of '" + group->name + "'");
    return result;
  }
  std::map<NodeImpl*, std::vector<SetMembership>> after;
  for (const auto& entry : before) after.emplace(entry.first, meshMemberships(entry.first->shared_from_this()));
  const auto restore = [](const std::map<NodeImpl*, std::vector<SetMembership>>& state) {
    for (const auto& [node, memberships] : state) setMeshMemberships(node->shared_from_this(), memberships);
  };
  recordUndo(call, std::make_unique<FunctionEntry>(
                       "sets", [restore, before]() { restore(before); }, [restore, after]() { restore(after); }));
  return MS::kSuccess;
}

/// The mesh and UV set number of "mesh.uvSet[k].uvSetName"; an invalid plug
/// (with the reason shown) otherwise.
MPlug uvSetPlug(const std::string& name, std::shared_ptr<NodeImpl>& mesh, int& set) {
  std::string error;
  const MPlug plug = plugByName(name, error);
  if (plug.isNull() || plug.attributeImpl()->longName != "uvSetName" || !plug.nodeImpl()->hasFn(MFn::kMesh) ||
      plug.indices().empty() || plug.indices().back() < 0) {
    displayError("uvLink: '" + name + "' is not a mesh's uvSet[k].uvSetName" + (error.empty() ? "" : ": " + error));
    return MPlug();
  }
  mesh = plug.nodeImpl();
  set = plug.indices().back();
  return plug;
}

MStatus uvLinkCommand(HostCall& call, const HostArgs& args) {
  std::shared_ptr<NodeImpl> mesh;
  int set = 0;
  const MPlug plug = uvSetPlug(args.value("uvSet"), mesh, set);
  if (plug.isNull()) return MS::kFailure;
  if (args.query()) {
    std::vector<std::string> textures;
    for (const auto& c : sceneGraph().outgoingOf(plug)) textures.push_back(c->destination.nodeImpl()->name);
    call.result.setStrings(textures);
    return MS::kSuccess;
  }
  if (set >= static_cast<int>(MeshNode::geometry(mesh)->uvSets().size())) {
    displayError("uvLink: " + mesh->name + " has no UV set " + std::to_string(set));
    return MS::kFailure;
  }
  const auto texture = sceneGraph().find(args.value("texture"));
  if (!texture || !texture->hasFn(MFn::kTexture2d)) {
    displayError("uvLink: '" + args.value("texture") + "' is not a texture");
    return MS::kFailure;
  }
  for (const auto& c : sceneGraph().outgoingOf(plug))
    if (c->destination.nodeImpl() == texture) return MS::kSuccess;
  const MPlug links = MFnDependencyNode(MObject(texture)).findPlug("uvSetLinks");
  unsigned int free = 0;
  for (const auto& c : texture->incoming)
    if (c->destination.attributeImpl() == links.attributeImpl() && !c->destination.indices().empty())
      free = std::max(free, static_cast<unsigned int>(c->destination.indices().back()) + 1);
  const MPlug destination = links.elementByLogicalIndex(free);
  const MStatus status = sceneGraph().connect(plug, destination);
  if (!status) {
    displayError("uvLink: cannot link " + plug.name().str() + " to " + texture->name);
    return status;
  }
  recordUndo(call, std::make_unique<FunctionEntry>(
                       "uvLink", [plug, destination]() { sceneGraph().disconnect(plug, destination, true); },
                       [plug, destination]() { sceneGraph().connect(plug, destination); }));
  return MS::kSuccess;
}

}  // namespace

void addMeshEditCommands(Interpreter& interpreter) {
  addFlaggedCommands(
      interpreter, {{"blindDataType",
                     blindDataTypeCommand,
                     {{"id", "typeId", 1, 1},
                      {"dt", "dataType", 1, 0},
                      {"ldn", "longDataName", 1, 0},
                      {"sdn", "shortDataName", 1, 0},
                      {"q", "query", 0, 0}}},
                    {"polyBlindData",
                     polyBlindDataCommand,
                     {{"id", "typeId", 1, 0},
                      {"at", "associationType", 1, 0},
                      {"ldn", "longDataName", 1, 0},
                      {"sdn", "shortDataName", 1, 0},
                      {"ind", "intData", 1, 0}}},
                    {"sets",
                     setsCommand,
                     {{"e", "edit", 0, 0},
                      {"q", "query", 0, 0},
                      {"nw", "noWarnings", 0, 0},
                      {"fe", "forceElement", 1, 0},
                      {"in", "include", 1, 0},
                      {"rm", "remove", 1, 0},
                      {"r", "renderable", 1, 0},
                      {"nss", "noSurfaceShader", 1, 0},
                      {"em", "empty", 0, 0},
                      {"n", "name", 1, 0}}},
                    {"uvLink", uvLinkCommand, {{"q", "query", 0, 0}, {"uvs", "uvSet", 1, 1}, {"t", "texture", 1, 0}}}});
}

}  // namespace zovhost
