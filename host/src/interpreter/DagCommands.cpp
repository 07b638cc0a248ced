// Host commands on the DAG: parent, group, hide, xform, makeIdentity and ls.
#include <maya/MDagModifier.h>
#include <maya/MFnTransform.h>
#include <maya/MPlug.h>

#include "commands/ActiveSelection.h"
#include "commands/ArgumentText.h"
#include "commands/ModifierOperation.h"
#include "core/Logs.h"
#include "dag/DagNode.h"
#include "dag/TransformNode.h"
#include "dg/Graph.h"
#include "interpreter/HostArgs.h"
#include "mesh/MeshNode.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace zovhost {

namespace {

constexpr size_t kVectorWords = 3;
constexpr size_t kMatrixWords = 16;

/// A modifier that can also give a node any set of parents (an instance, or
/// one instance moved).
class ParentModifier : public MDagModifier {
 public:
  void setParents(const std::shared_ptr<NodeImpl>& node, std::vector<DagLink> links) {
    addOperation(std::make_unique<SetParentsOperation>(node, std::move(links)));
  }
};

/// The transformations of some transforms before and after a command, for undo.
struct TransformChange {
  std::shared_ptr<NodeImpl> node;
  MTransformationMatrix before;
  MTransformationMatrix after;
};

/// The DAG paths the command works on: the ones named, else the selected ones.
bool objectPaths(const HostArgs& args, const std::string& command, std::vector<MDagPath>& paths, size_t namedCount) {
  for (size_t i = 0; i < namedCount; ++i) {
    const std::string& name = args.positional()[i];
    const MDagPath path = dagPathNamed(name);
    if (!path.isValid()) {
      displayError(sceneGraph().find(name) ? command + ": '" + name + "' is not a DAG object"
                                           : "No object matches name: " + name);
      return false;
    }
    paths.push_back(path);
  }
  if (namedCount == 0)
    for (unsigned int i = 0; i < activeSelection().length(); ++i) {
      MDagPath path;
      if (activeSelection().getDagPath(i, path)) paths.push_back(path);
    }
  return true;
}

bool parseWords(const std::vector<std::string>& words, std::vector<double>& values) {
  values.clear();
  for (const std::string& word : words) {
    double value = 0.0;
    if (!parseDouble(word, value)) return false;
    values.push_back(value);
  }
  return true;
}

MVector uiLengthToInternal(const std::vector<double>& values) {
  return MVector(MDistance::uiToInternal(values[0]), MDistance::uiToInternal(values[1]),
                 MDistance::uiToInternal(values[2]));
}

void appendLength(std::vector<double>& out, const MVector& value) {
  for (unsigned int i = 0; i < kVectorWords; ++i) out.push_back(MDistance::internalToUI(value[i]));
}

/// The matrix with its translation row in user-interface units (or back).
MMatrix withTranslationUnits(MMatrix matrix, bool toUI) {
  for (unsigned int c = 0; c < kVectorWords; ++c)
    matrix[3][c] = toUI ? MDistance::internalToUI(matrix[3][c]) : MDistance::uiToInternal(matrix[3][c]);
  return matrix;
}

/// Gives a transform the local transformation that keeps its world matrix
/// under its new parent (pivots, rotate axis and rotate order kept).
void keepWorldMatrix(const MDagPath& path, const MMatrix& world) {
  const std::shared_ptr<NodeImpl> node = path.last();
  if (!node || !node->hasFn(MFn::kTransform)) return;
  MTransformationMatrix value = TransformNode::transformation(node);
  if (value.setFromMatrix(world * path.exclusiveMatrixInverse())) TransformNode::setTransformation(node, value);
}

/// What a command did, undone as one step: modifiers (undone last first),
/// then changes of transformations made after them.
struct Edit {
  std::vector<std::shared_ptr<MDagModifier>> modifiers;
  std::vector<TransformChange> changes;
};

void recordEdit(const HostCall& call, const Edit& edit) {
  recordUndo(call, std::make_unique<FunctionEntry>(
                       call.call.name,
                       [edit]() {
                         for (const TransformChange& change : edit.changes)
                           TransformNode::setTransformation(change.node, change.before);
                         for (auto it = edit.modifiers.rbegin(); it != edit.modifiers.rend(); ++it) (*it)->undoIt();
                       },
                       [edit]() {
                         for (const auto& modifier : edit.modifiers) modifier->doIt();
                         for (const TransformChange& change : edit.changes)
                           TransformNode::setTransformation(change.node, change.after);
                       }));
}

/// The paths to children after they moved: the first path of each through its new parent.
std::vector<std::string> movedNames(const std::vector<std::shared_ptr<NodeImpl>>& nodes, const NodeImpl* parent) {
  std::vector<std::string> names;
  for (const auto& node : nodes)
    for (const DagNodePath& path : sceneGraph().dag().paths(*node))
      if ((path.size() == 1 && !parent) || (path.size() > 1 && path[path.size() - 2] == parent)) {
        std::vector<std::shared_ptr<NodeImpl>> shared;
        for (NodeImpl* member : path) shared.push_back(member->shared_from_this());
        names.push_back(MDagPath(std::move(shared)).partialPathName().str());
        break;
      }
  return names;
}

/// Moves each path's node under newParent (null: the world), keeping world
/// matrices unless relative; with add the node keeps its other parents.
/// What was done is added to edit.
MStatus moveUnder(const std::string& command, const std::vector<MDagPath>& paths,
                  const std::shared_ptr<NodeImpl>& newParent, bool relative, bool add, bool shapesAllowed, Edit& edit,
                  std::vector<std::string>* names) {
  auto modifier = std::make_shared<ParentModifier>();
  std::vector<std::shared_ptr<NodeImpl>> moved;
  std::vector<std::pair<std::shared_ptr<NodeImpl>, MMatrix>> worlds;
  for (const MDagPath& path : paths) {
    const std::shared_ptr<NodeImpl> node = path.last();
    if (isShapeNode(*node) && !shapesAllowed) {
      displayError(command + ": '" + node->name + "' is a shape; use -shape to move shapes");
      return MS::kFailure;
    }
    if (!sceneGraph().checkParent(*node, newParent.get())) {
      displayError(command + ": cannot put '" + node->name + "' under " +
                   (newParent ? "'" + newParent->name + "'" : std::string("the world")));
      return MS::kFailure;
    }
    const NodeImpl* oldParent = path.length() > 1 ? path.nodes()[path.length() - 2].get() : nullptr;
    std::vector<DagLink> links = sceneGraph().dagParentLinks(*node);
    const bool already =
        std::any_of(links.begin(), links.end(), [&](const DagLink& link) { return link.parent == newParent; });
    if (already) {
      if (add) {
        displayError(command + ": '" + node->name + "' is already below that parent");
        return MS::kFailure;
      }
      displayWarning(command + ": '" + node->name + "' is already a child of that parent");
      continue;
    }
    if (add) {
      links.push_back({newParent});
    } else {
      for (DagLink& link : links)
        if (link.parent.get() == oldParent) link = {newParent};
    }
    modifier->setParents(node, links);
    moved.push_back(node);
    if (!relative && !add && node->hasFn(MFn::kTransform)) worlds.emplace_back(node, path.inclusiveMatrix());
  }
  std::vector<TransformChange> changes;
  for (const auto& [node, world] : worlds)
    changes.push_back({node, TransformNode::transformation(node), MTransformationMatrix()});
  if (!modifier->doIt()) {
    modifier->undoIt();
    displayError(command + ": the objects could not be moved");
    return MS::kFailure;
  }
  for (size_t i = 0; i < worlds.size(); ++i) {
    const std::vector<std::string> name = movedNames({worlds[i].first}, newParent.get());
    const MDagPath now = name.empty() ? MDagPath() : dagPathNamed(name.front());
    if (now.isValid()) keepWorldMatrix(now, worlds[i].second);
    changes[i].after = TransformNode::transformation(changes[i].node);
  }
  edit.modifiers.push_back(modifier);
  edit.changes.insert(edit.changes.end(), changes.begin(), changes.end());
  if (names) *names = movedNames(moved, newParent.get());
  return MS::kSuccess;
}

std::shared_ptr<NodeImpl> transformNamed(const std::string& command, const std::string& name) {
  const auto node = sceneGraph().find(name);
  if (!node) {
    displayError("No object matches name: " + name);
    return nullptr;
  }
  if (!node->hasFn(MFn::kTransform)) {
    displayError(command + ": '" + name + "' is not a transform");
    return nullptr;
  }
  return node;
}

MStatus parentCommand(HostCall& call, const HostArgs& args) {
  const bool toWorld = args.has("world");
  const size_t named = args.positional().size();
  if (named < (toWorld ? 1u : 2u)) {
    displayError("parent: give the objects and then their new parent (or -world)");
    return MS::kFailure;
  }
  std::shared_ptr<NodeImpl> parent;
  if (!toWorld && !(parent = transformNamed("parent", args.positional().back()))) return MS::kFailure;
  std::vector<MDagPath> paths;
  if (!objectPaths(args, "parent", paths, toWorld ? named : named - 1)) return MS::kFailure;
  std::vector<std::string> names;
  Edit edit;
  const MStatus status =
      moveUnder("parent", paths, parent, args.has("relative"), args.has("addObject"), args.has("shape"), edit, &names);
  if (!status) return status;
  recordEdit(call, edit);
  call.result.setStrings(names);
  return MS::kSuccess;
}

MStatus groupCommand(HostCall& call, const HostArgs& args) {
  std::vector<MDagPath> paths;
  if (!args.has("empty") && !objectPaths(args, "group", paths, args.positional().size())) return MS::kFailure;
  if (paths.empty() && !args.has("empty")) {
    displayError("group: Not enough objects or values.");
    return MS::kFailure;
  }
  std::string name = args.value("name", args.has("empty") ? "null1" : "group1");
  if (!Graph::isValidName(name)) {
    displayError("group: invalid name '" + name + "'");
    return MS::kFailure;
  }
  // The group goes where its members are when they share a parent, else under the world.
  std::shared_ptr<NodeImpl> above;
  if (args.has("parent")) {
    if (!(above = transformNamed("group", args.value("parent")))) return MS::kFailure;
  } else if (!args.has("world") && !paths.empty()) {
    const auto parentOf = [](const MDagPath& path) {
      return path.length() > 1 ? path.nodes()[path.length() - 2] : nullptr;
    };
    above = parentOf(paths.front());
    for (const MDagPath& path : paths)
      if (parentOf(path) != above) above = nullptr;
  }
  auto maker = std::make_shared<MDagModifier>();
  const MObject group = maker->createNode(MString("transform"), MObject(above));
  nodeOf(group)->name = name;
  if (!maker->doIt()) {
    maker->undoIt();
    displayError("group: the group could not be made");
    return MS::kFailure;
  }
  Edit edit;
  edit.modifiers.push_back(maker);
  if (!paths.empty() && !moveUnder("group", paths, nodeOf(group), false, false, false, edit, nullptr)) {
    maker->undoIt();
    return MS::kFailure;
  }
  recordEdit(call, edit);
  MSelectionList selection;
  selection.add(group);
  setActiveSelection(selection);
  call.result.setString(nodeOf(group)->name);
  return MS::kSuccess;
}

MStatus xformQuery(HostCall& call, const HostArgs& args, const MDagPath& path) {
  const bool world = args.has("worldSpace");
  const MSpace::Space space = world ? MSpace::kWorld : MSpace::kTransform;
  MFnTransform fn(path);
  std::vector<double> values;
  if (args.has("translation")) {
    appendLength(values, fn.getTranslation(space));
  } else if (args.has("rotation")) {
    MEulerRotation rotation;
    fn.getRotation(rotation);
    if (world) {
      MQuaternion q;
      fn.getRotation(q, MSpace::kWorld);
      rotation = MEulerRotation::decompose(q.asMatrix(), rotation.order);
    }
    for (unsigned int i = 0; i < kVectorWords; ++i) values.push_back(MAngle::internalToUI(rotation[i]));
  } else if (args.has("scale")) {
    double scale[kVectorWords];
    fn.getScale(scale);
    values.assign(scale, scale + kVectorWords);
  } else if (args.has("pivots")) {
    appendLength(values, MVector(fn.rotatePivot(space)));
    appendLength(values, MVector(fn.scalePivot(space)));
  } else if (args.has("matrix")) {
    const MMatrix matrix = withTranslationUnits(world ? path.inclusiveMatrix() : fn.transformationMatrix(), true);
    for (unsigned int r = 0; r < 4; ++r)
      for (unsigned int c = 0; c < 4; ++c) values.push_back(matrix[r][c]);
  } else {
    displayError("xform: give what to query (-translation, -rotation, -scale, -pivots or -matrix)");
    return MS::kFailure;
  }
  call.result.setDoubles(values);
  return MS::kSuccess;
}

/// Applies the xform flags to one transform.
MStatus xformSet(const HostArgs& args, const MDagPath& path) {
  const bool world = args.has("worldSpace");
  const MSpace::Space space = world ? MSpace::kWorld : MSpace::kTransform;
  MFnTransform fn(path);
  std::vector<double> values;
  MStatus status;
  if (args.has("matrix")) {
    parseWords(args.values("matrix"), values);
    MMatrix matrix;
    for (size_t i = 0; i < kMatrixWords; ++i) matrix[i / 4][i % 4] = values[i];
    matrix = withTranslationUnits(matrix, false);
    MTransformationMatrix value = fn.transformation();
    if (!value.setFromMatrix(world ? matrix * path.exclusiveMatrixInverse() : matrix)) return MS::kInvalidParameter;
    if (!(status = fn.set(value))) return status;
  }
  if (args.has("translation")) {
    parseWords(args.values("translation"), values);
    if (!(status = fn.setTranslation(uiLengthToInternal(values), space))) return status;
  }
  if (args.has("rotation")) {
    parseWords(args.values("rotation"), values);
    MEulerRotation rotation;
    fn.getRotation(rotation);
    rotation.setValue(MAngle::uiToInternal(values[0]), MAngle::uiToInternal(values[1]), MAngle::uiToInternal(values[2]),
                      rotation.order);
    status = world ? fn.setRotation(rotation.asQuaternion(), MSpace::kWorld) : fn.setRotation(rotation);
    if (!status) return status;
  }
  if (args.has("scale")) {
    parseWords(args.values("scale"), values);
    if (!(status = fn.setScale(values.data()))) return status;
  }
  if (args.has("pivots")) {
    parseWords(args.values("pivots"), values);
    const MPoint pivot(uiLengthToInternal(values));
    if (!(status = fn.setRotatePivot(pivot, space, true))) return status;
    if (!(status = fn.setScalePivot(pivot, space, true))) return status;
  }
  if (args.has("centerPivots")) {
    // The middle of what lies below the transform, in its own space; the
    // object stays where it is.
    const MPoint centre = fn.boundingBox().center();
    if (!(status = fn.setRotatePivot(centre, MSpace::kTransform, true))) return status;
    if (!(status = fn.setScalePivot(centre, MSpace::kTransform, true))) return status;
  }
  return MS::kSuccess;
}

MStatus xformCommand(HostCall& call, const HostArgs& args) {
  std::vector<double> numbers;
  for (const char* flag : {"translation", "rotation", "scale", "pivots", "matrix"})
    if (!args.query() && args.has(flag) && !parseWords(args.values(flag), numbers)) {
      displayError(std::string("xform: -") + flag + " needs numbers");
      return MS::kFailure;
    }
  std::vector<MDagPath> paths;
  if (!objectPaths(args, "xform", paths, args.positional().size())) return MS::kFailure;
  if (paths.empty()) {
    displayError("xform: Not enough objects or values.");
    return MS::kFailure;
  }
  for (const MDagPath& path : paths)
    if (!path.hasFn(MFn::kTransform)) {
      displayError("xform: '" + path.partialPathName().str() + "' is not a transform");
      return MS::kFailure;
    }
  if (args.query()) return xformQuery(call, args, paths.front());
  std::vector<TransformChange> changes;
  for (const MDagPath& path : paths) {
    const auto node = path.last();
    changes.push_back({node, TransformNode::transformation(node), MTransformationMatrix()});
    if (!xformSet(args, path)) {
      for (const TransformChange& change : changes) TransformNode::setTransformation(change.node, change.before);
      displayError("xform: cannot change '" + path.partialPathName().str() +
                   "' (a locked or connected attribute, or a singular matrix)");
      return MS::kFailure;
    }
    changes.back().after = TransformNode::transformation(node);
  }
  recordEdit(call, Edit{{}, changes});
  return MS::kSuccess;
}

/// A mesh's points before and after a command, for undo.
struct MeshChange {
  std::shared_ptr<NodeImpl> node;
  std::shared_ptr<const MeshGeometry> before;
  std::shared_ptr<const MeshGeometry> after;
};

/// makeIdentity -apply true [NAMES]: each named (else selected) transform
/// hands its transformation down (its child transforms and the points of the
/// meshes directly under it take it) and becomes the identity, its pivots
/// kept where they stood; nothing moves in the world. A mesh under it that
/// is fed by construction history cannot take it: nothing changes then.
MStatus makeIdentityCommand(HostCall& call, const HostArgs& args) {
  bool apply = false;
  if (!args.has("apply") || !parseBool(args.value("apply"), apply) || !apply) {
    displayError("makeIdentity: this host only applies a transformation (-apply true)");
    return MS::kFailure;
  }
  std::vector<MDagPath> paths;
  if (!objectPaths(args, "makeIdentity", paths, args.positional().size())) return MS::kFailure;
  if (paths.empty()) {
    displayError("makeIdentity: Not enough objects or values.");
    return MS::kFailure;
  }
  for (const MDagPath& path : paths) {
    if (!path.hasFn(MFn::kTransform)) {
      displayError("makeIdentity: '" + path.partialPathName().str() + "' is not a transform");
      return MS::kFailure;
    }
    for (NodeImpl* child : path.last()->dagChildren)
      if (child->hasFn(MFn::kMesh) && MPlug(MObject(child->shared_from_this()), MeshNode::inMesh).isDestination()) {
        displayError("makeIdentity: the mesh '" + child->name + "' has construction history");
        return MS::kFailure;
      }
  }
  std::vector<TransformChange> changes;
  std::vector<MeshChange> meshes;
  const auto undo = [&changes, &meshes]() {
    for (auto it = changes.rbegin(); it != changes.rend(); ++it) TransformNode::setTransformation(it->node, it->before);
    for (const MeshChange& mesh : meshes) MeshNode::setGeometry(mesh.node, mesh.before);
  };
  for (const MDagPath& path : paths) {
    const std::shared_ptr<NodeImpl> node = path.last();
    const MTransformationMatrix own = TransformNode::transformation(node);
    const MMatrix matrix = own.asMatrix();
    bool changed = true;
    for (NodeImpl* childNode : node->dagChildren) {
      const std::shared_ptr<NodeImpl> child = childNode->shared_from_this();
      if (child->hasFn(MFn::kTransform)) {
        MTransformationMatrix value = TransformNode::transformation(child);
        const MTransformationMatrix before = value;
        changed = value.setFromMatrix(value.asMatrix() * matrix) && TransformNode::setTransformation(child, value);
        changes.push_back({child, before, value});
      } else if (child->hasFn(MFn::kMesh)) {
        const auto before = MeshNode::geometry(child);
        auto after = std::make_shared<MeshGeometry>(*before);
        for (int v = 0; v < after->vertexCount(); ++v)
          after->setPoint(v, MFloatPoint((MPoint(after->points()[static_cast<size_t>(v)]) * matrix).cartesianize()));
        changed = static_cast<bool>(MeshNode::setGeometry(child, after));
        meshes.push_back({child, before, after});
      }
      if (!changed) break;
    }
    if (changed) {
      MTransformationMatrix identity;
      identity.setRotatePivot(own.rotatePivot(MSpace::kTransform) * matrix, MSpace::kTransform, false);
      identity.setScalePivot(own.scalePivot(MSpace::kTransform) * matrix, MSpace::kTransform, false);
      changed = static_cast<bool>(TransformNode::setTransformation(node, identity));
      changes.push_back({node, own, identity});
    }
    if (!changed) {
      undo();
      displayError("makeIdentity: cannot change '" + path.partialPathName().str() +
                   "' or what lies under it (a locked or connected attribute, or a singular matrix)");
      return MS::kFailure;
    }
  }
  recordUndo(call, std::make_unique<FunctionEntry>(
                       "makeIdentity",
                       [changes, meshes]() {
                         for (auto it = changes.rbegin(); it != changes.rend(); ++it)
                           TransformNode::setTransformation(it->node, it->before);
                         for (const MeshChange& mesh : meshes) MeshNode::setGeometry(mesh.node, mesh.before);
                       },
                       [changes, meshes]() {
                         for (const TransformChange& change : changes)
                           TransformNode::setTransformation(change.node, change.after);
                         for (const MeshChange& mesh : meshes) MeshNode::setGeometry(mesh.node, mesh.after);
                       }));
  return MS::kSuccess;
}

/// Matches a name against a pattern with * (any run) and ? (any one character).
bool globMatch(const char* pattern, const char* name) {
  if (*pattern == '\0') return *name == '\0';
  if (*pattern == '*') return globMatch(pattern + 1, name) || (*name != '\0' && globMatch(pattern, name + 1));
  return *name != '\0' && (*pattern == '?' || *pattern == *name) && globMatch(pattern + 1, name + 1);
}

/// hide [NAMES]: switches the visibility of the named (else the selected)
/// DAG nodes off, as one undo step.
MStatus hideCommand(HostCall& call, const HostArgs& args) {
  std::vector<MDagPath> paths;
  if (!objectPaths(args, "hide", paths, args.positional().size())) return MS::kFailure;
  if (paths.empty()) {
    displayError("hide: Not enough objects or values.");
    return MS::kFailure;
  }
  struct Change {
    MPlug plug;
    bool before;
  };
  std::vector<Change> changes;
  for (const MDagPath& path : paths) {
    MPlug plug(path.node(), DagNode::visibility);
    bool before = true;
    plug.getValue(before);
    if (!plug.setValue(false)) {
      for (Change change : changes) change.plug.setValue(change.before);
      displayError("hide: cannot change the visibility of '" + path.partialPathName().str() + "'");
      return MS::kFailure;
    }
    changes.push_back({plug, before});
  }
  recordUndo(call, std::make_unique<FunctionEntry>(
                       "hide",
                       [changes]() {
                         for (Change change : changes) change.plug.setValue(change.before);
                       },
                       [changes]() {
                         for (Change change : changes) change.plug.setValue(false);
                       }));
  return MS::kSuccess;
}

MStatus lsCommand(HostCall& call, const HostArgs& args) {
  std::vector<NodeImpl*> nodes;
  if (args.has("selection")) {
    for (unsigned int i = 0; i < activeSelection().length(); ++i) {
      MObject object;
      activeSelection().getDependNode(i, object);
      NodeImpl* node = nodeOf(object).get();
      if (node && std::find(nodes.begin(), nodes.end(), node) == nodes.end()) nodes.push_back(node);
    }
  } else if (args.has("dag")) {
    nodes = sceneGraph().dag().depthFirst();
  } else {
    for (const auto& node : sceneGraph().nodes()) nodes.push_back(node.get());
  }
  std::vector<std::string> result;
  for (NodeImpl* node : nodes) {
    if (args.has("dag") && !node->isDag()) continue;
    if (args.has("transforms") && !node->hasFn(MFn::kTransform)) continue;
    const std::vector<std::string>& types = args.values("type");
    if (!types.empty() && std::none_of(types.begin(), types.end(),
                                       [node](const std::string& t) { return node->type->matchesTypeName(t); }))
      continue;
    const std::vector<std::string>& exact = args.values("exactType");
    if (!exact.empty() && std::find(exact.begin(), exact.end(), node->type->name) == exact.end()) continue;
    const std::vector<std::string>& patterns = args.positional();
    if (!patterns.empty() && std::none_of(patterns.begin(), patterns.end(), [node](const std::string& p) {
          return globMatch(p.c_str(), node->name.c_str());
        }))
      continue;
    result.push_back(node->name);
  }
  call.result.setStrings(result);
  return MS::kSuccess;
}

}  // namespace

void addDagCommands(Interpreter& interpreter) {
  addFlaggedCommands(interpreter,
                     {{"parent",
                       parentCommand,
                       {{"w", "world", 0, 0},
                        {"r", "relative", 0, 0},
                        {"a", "absolute", 0, 0},
                        {"add", "addObject", 0, 0},
                        {"s", "shape", 0, 0}}},
                      {"group",
                       groupCommand,
                       {{"n", "name", 1, 0}, {"w", "world", 0, 0}, {"em", "empty", 0, 0}, {"p", "parent", 1, 0}}},
                      {"xform",
                       xformCommand,
                       {{"q", "query", 0, 0},
                        {"t", "translation", 3, 0},
                        {"ro", "rotation", 3, 0},
                        {"s", "scale", 3, 0},
                        {"piv", "pivots", 3, 0},
                        {"cp", "centerPivots", 0, 0},
                        {"ws", "worldSpace", 0, 0},
                        {"os", "objectSpace", 0, 0},
                        {"m", "matrix", 16, 0}}},
                      {"makeIdentity", makeIdentityCommand, {{"a", "apply", 1, 0}}},
                      {"ls",
                       lsCommand,
                       {{"typ", "type", 1, 1},
                        {"et", "exactType", 1, 1},
                        {"sl", "selection", 0, 0},
                        {"dag", "dag", 0, 0},
                        {"tr", "transforms", 0, 0}}},
                      {"hide", hideCommand, {}}});
}

}  // namespace zovhost
