#include "mesh/ShadingGroups.h"

#include <maya/MDataBlock.h>
#include <maya/MFnMessageAttribute.h>
#include <maya/MFnNumericAttribute.h>
#include <maya/MIntArray.h>
#include <maya/MPlug.h>

#include "dg/Graph.h"
#include "dg/NodeTypeRegistry.h"
#include "mesh/MeshNode.h"

#include <algorithm>
#include <cstdlib>
#include <set>
#include <sstream>

namespace zovhost {

namespace {

// The host's own type ids of the shading group and the lambert shader.
constexpr unsigned int kShadingEngineTypeId = 0x53484547;
constexpr unsigned int kLambertTypeId = 0x524C414D;
constexpr const char* kDefaultGroup = "initialShadingGroup";

class ShadingEngineNode : public MPxNode {
 public:
  static void* creator() { return new ShadingEngineNode; }
  static MStatus initialize() {
    MFnMessageAttribute message;
    dagSetMembers = message.create("dagSetMembers", "dsm");
    message.setArray(true);
    message.setIndexMatters(false);
    // The colour of the shader that paints the group's members.
    MFnNumericAttribute numeric;
    surfaceShader = numeric.createColor("surfaceShader", "ss");
    const MStatus status = addAttribute(dagSetMembers);
    return status ? addAttribute(surfaceShader) : status;
  }
  static MObject dagSetMembers;
  static MObject surfaceShader;
};

MObject ShadingEngineNode::dagSetMembers;
MObject ShadingEngineNode::surfaceShader;

/// A surface shader of one flat colour: its outColor is its color.
class LambertNode : public MPxNode {
 public:
  static void* creator() { return new LambertNode; }
  static MStatus initialize() {
    MFnNumericAttribute numeric;
    color = numeric.createColor("color", "c");
    numeric.setDefault(0.5f, 0.5f, 0.5f);
    outColor = numeric.createColor("outColor", "oc");
    numeric.setStorable(false);
    numeric.setWritable(false);
    MStatus status = addAttribute(color);
    if (status) status = addAttribute(outColor);
    if (status) status = attributeAffects(color, outColor);
    return status;
  }
  MStatus compute(const MPlug& plug, MDataBlock& block) override {
    if (plug != outColor && plug.parent() != outColor) return MS::kUnknownParameter;
    const float3& rgb = block.inputValue(color).asFloat3();
    block.outputValue(outColor).set3Float(rgb[0], rgb[1], rgb[2]);
    block.setClean(outColor);
    return MS::kSuccess;
  }
  static MObject color;
  static MObject outColor;
};

MObject LambertNode::color;
MObject LambertNode::outColor;

std::vector<int> sortedUnique(std::vector<int> faces) {
  std::sort(faces.begin(), faces.end());
  faces.erase(std::unique(faces.begin(), faces.end()), faces.end());
  return faces;
}

/// Faces of a membership: a whole mesh counts as every face below polygonCount.
std::vector<int> facesOf(const SetMembership& membership, int polygonCount) {
  if (!membership.whole) return membership.faces;
  std::vector<int> all(static_cast<size_t>(std::max(polygonCount, 0)));
  for (size_t i = 0; i < all.size(); ++i) all[i] = static_cast<int>(i);
  return all;
}

int polygonCountOf(const std::shared_ptr<NodeImpl>& mesh) { return MeshNode::geometry(mesh)->polygonCount(); }

std::vector<int> without(const std::vector<int>& faces, const std::vector<int>& removed) {
  std::vector<int> result;
  std::set_difference(faces.begin(), faces.end(), removed.begin(), removed.end(), std::back_inserter(result));
  return result;
}

/// The first free element of an array plug (as source or destination).
unsigned int freeElement(const MPlug& array, bool asSource) {
  std::set<unsigned int> used;
  const auto& node = array.nodeImpl();
  for (const auto& c : asSource ? node->outgoing : node->incoming) {
    const MPlug& end = asSource ? c->source : c->destination;
    if (end.attributeImpl() == array.attributeImpl() && !end.indices().empty())
      used.insert(static_cast<unsigned int>(end.indices().back()));
  }
  unsigned int index = 0;
  while (used.count(index)) ++index;
  return index;
}

}  // namespace

std::string faceListText(const std::vector<int>& faces) {
  const std::vector<int> sorted = sortedUnique(faces);
  std::string text;
  for (size_t i = 0; i < sorted.size();) {
    size_t j = i;
    while (j + 1 < sorted.size() && sorted[j + 1] == sorted[j] + 1) ++j;
    text += (text.empty() ? "" : " ") + std::string("f[") + std::to_string(sorted[i]);
    if (j > i) text += ":" + std::to_string(sorted[j]);
    text += "]";
    i = j + 1;
  }
  return text;
}

bool parseFaceListText(const std::string& text, std::vector<int>& faces) {
  faces.clear();
  std::istringstream in(text);
  for (std::string word; in >> word;) {
    if (word.size() < 4 || word.compare(0, 2, "f[") != 0 || word.back() != ']') return false;
    const std::string range = word.substr(2, word.size() - 3);
    const size_t colon = range.find(':');
    char* end = nullptr;
    const long first = std::strtol(range.c_str(), &end, 10);
    long last = first;
    if (colon == std::string::npos) {
      if (*end != '\0') return false;
    } else {
      if (end != range.c_str() + colon) return false;
      last = std::strtol(range.c_str() + colon + 1, &end, 10);
      if (*end != '\0') return false;
    }
    if (first < 0 || last < first || last > (1L << 30)) return false;
    for (long f = first; f <= last; ++f) faces.push_back(static_cast<int>(f));
  }
  faces = sortedUnique(faces);
  return true;
}

std::vector<SetMembership> meshMemberships(const std::shared_ptr<NodeImpl>& mesh) {
  std::vector<SetMembership> result;
  const MObject object(mesh);
  const MPlug groups(object, MeshNode::instObjGroups);
  std::vector<std::pair<unsigned int, std::shared_ptr<NodeImpl>>> elements;
  for (const auto& c : mesh->outgoing)
    if (c->source.attributeImpl() == groups.attributeImpl() && !c->source.indices().empty() &&
        c->destination.nodeImpl()->type->name == "shadingEngine")
      elements.emplace_back(static_cast<unsigned int>(c->source.indices().back()), c->destination.nodeImpl());
  std::sort(elements.begin(), elements.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  for (const auto& [index, group] : elements) {
    SetMembership membership;
    membership.group = group;
    const MString text = MPlug(object, MeshNode::objectGrpCompList).elementByLogicalIndex(index).asString();
    membership.whole = text.length() == 0;
    if (!membership.whole) parseFaceListText(text.str(), membership.faces);
    result.push_back(membership);
  }
  return result;
}

MStatus setMeshMemberships(const std::shared_ptr<NodeImpl>& mesh, const std::vector<SetMembership>& memberships) {
  const MObject object(mesh);
  const MPlug groups(object, MeshNode::instObjGroups);
  const MPlug lists(object, MeshNode::objectGrpCompList);
  std::vector<std::shared_ptr<Connection>> old;
  for (const auto& c : mesh->outgoing)
    if (c->source.attributeImpl() == groups.attributeImpl() && c->destination.nodeImpl()->type->name == "shadingEngine")
      old.push_back(c);
  for (const auto& c : old) sceneGraph().disconnect(c->source, c->destination, true);
  MIntArray indices;
  lists.getExistingArrayAttributeIndices(indices);
  for (unsigned int i = 0; i < indices.length(); ++i)
    lists.elementByLogicalIndex(static_cast<unsigned int>(indices[i])).setValue(MString());
  MStatus result;
  for (const SetMembership& membership : memberships) {
    if (!membership.whole && membership.faces.empty()) continue;
    const unsigned int index = freeElement(groups, true);
    const MPlug source = groups.elementByLogicalIndex(index);
    const MPlug members(MObject(membership.group), ShadingEngineNode::dagSetMembers);
    const MPlug destination = members.elementByLogicalIndex(freeElement(members, false));
    const MStatus status = sceneGraph().connect(source, destination);
    if (!status) {
      result = status;
      continue;
    }
    lists.elementByLogicalIndex(index).setValue(MString(membership.whole ? "" : faceListText(membership.faces)));
  }
  return result;
}

MStatus addGroupMembers(const std::shared_ptr<NodeImpl>& group, const std::shared_ptr<NodeImpl>& mesh, bool whole,
                        const std::vector<int>& faces, MemberMode mode, std::vector<int>* skipped) {
  if (!group || group->type->name != "shadingEngine" || !mesh || !mesh->hasFn(MFn::kMesh)) return MS::kInvalidParameter;
  const int polygons = polygonCountOf(mesh);
  std::vector<int> wanted = whole ? facesOf(SetMembership{nullptr, true, {}}, polygons) : sortedUnique(faces);
  for (int face : wanted)
    if (face < 0 || face >= polygons) return MS::kInvalidParameter;
  std::vector<SetMembership> memberships = meshMemberships(mesh);
  if (mode == MemberMode::kInclude) {
    std::vector<int> held;
    for (const SetMembership& m : memberships)
      if (m.group != group) {
        const std::vector<int> theirs = facesOf(m, polygons);
        std::set_intersection(wanted.begin(), wanted.end(), theirs.begin(), theirs.end(), std::back_inserter(held));
      }
    held = sortedUnique(held);
    if (skipped) *skipped = held;
    if (!held.empty()) {
      wanted = without(wanted, held);
      whole = false;
    }
  } else {
    for (SetMembership& m : memberships)
      if (m.group != group) {
        m.faces = without(facesOf(m, polygons), wanted);
        m.whole = false;
      }
  }
  bool found = false;
  for (SetMembership& m : memberships)
    if (m.group == group) {
      found = true;
      if (whole) {
        m.whole = true;
        m.faces.clear();
      } else if (!m.whole) {
        m.faces.insert(m.faces.end(), wanted.begin(), wanted.end());
        m.faces = sortedUnique(m.faces);
      }
    }
  if (!found && (whole || !wanted.empty())) memberships.push_back({group, whole, whole ? std::vector<int>() : wanted});
  return setMeshMemberships(mesh, memberships);
}

MStatus removeGroupMembers(const std::shared_ptr<NodeImpl>& group, const std::shared_ptr<NodeImpl>& mesh, bool whole,
                           const std::vector<int>& faces) {
  if (!group || !mesh || !mesh->hasFn(MFn::kMesh)) return MS::kInvalidParameter;
  const int polygons = polygonCountOf(mesh);
  std::vector<SetMembership> memberships = meshMemberships(mesh);
  for (SetMembership& m : memberships)
    if (m.group == group) {
      m.faces = whole ? std::vector<int>() : without(facesOf(m, polygons), sortedUnique(faces));
      m.whole = false;
    }
  return setMeshMemberships(mesh, memberships);
}

void polygonGroups(const std::shared_ptr<NodeImpl>& mesh, int polygonCount,
                   std::vector<std::shared_ptr<NodeImpl>>& groups, std::vector<int>& indices) {
  groups.clear();
  indices.assign(static_cast<size_t>(std::max(polygonCount, 0)), -1);
  for (const SetMembership& m : meshMemberships(mesh)) {
    auto position = std::find(groups.begin(), groups.end(), m.group);
    if (position == groups.end()) position = groups.insert(groups.end(), m.group);
    const int index = static_cast<int>(position - groups.begin());
    for (int face : facesOf(m, polygonCount))
      if (face >= 0 && face < polygonCount) indices[static_cast<size_t>(face)] = index;
  }
}

std::vector<std::string> groupMemberNames(const std::shared_ptr<NodeImpl>& group) {
  std::vector<std::string> names;
  if (!group) return names;
  for (const auto& c : group->incoming) {
    const auto& mesh = c->source.nodeImpl();
    if (!mesh->hasFn(MFn::kMesh)) continue;
    for (const SetMembership& m : meshMemberships(mesh)) {
      if (m.group != group) continue;
      if (m.whole) {
        names.push_back(mesh->name);
        continue;
      }
      std::istringstream in(faceListText(m.faces));
      for (std::string word; in >> word;) names.push_back(mesh->name + "." + word);
    }
  }
  names.erase(std::unique(names.begin(), names.end()), names.end());
  return names;
}

void registerShadingEngineType(NodeTypeRegistry& registry) {
  registry.registerBuiltin("shadingEngine", MTypeId(kShadingEngineTypeId), &ShadingEngineNode::creator,
                           &ShadingEngineNode::initialize, MFn::kShadingEngine,
                           {MFn::kShadingEngine, MFn::kSet, MFn::kDependencyNode}, {"entity", "objectSet"});
}

void registerLambertType(NodeTypeRegistry& registry) {
  const auto type =
      registry.registerBuiltin("lambert", MTypeId(kLambertTypeId), &LambertNode::creator, &LambertNode::initialize,
                               MFn::kLambert, {MFn::kLambert, MFn::kDependencyNode}, {"shadingDependNode"});
  type->defaultName = "lambert";
}

void createDefaultShadingGroup() {
  MStatus status;
  const auto node = sceneGraph().instantiate(nodeTypeRegistry().find("shadingEngine"), &status);
  if (!node) return;
  node->name = kDefaultGroup;
  node->defaultNode = true;
  sceneGraph().add(node);
}

}  // namespace zovhost
