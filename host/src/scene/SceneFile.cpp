#include "scene/SceneFile.h"

#include <maya/MSceneMessage.h>

#include "commands/ActiveSelection.h"
#include "commands/UndoQueue.h"
#include "core/CallbackRegistry.h"
#include "core/Files.h"
#include "core/Logs.h"
#include "dg/Graph.h"
#include "interpreter/AttributeText.h"
#include "interpreter/HostArgs.h"
#include "interpreter/HostSettings.h"
#include "interpreter/Interpreter.h"
#include "interpreter/UnitNames.h"
#include "mesh/ShadingGroups.h"
#include "plugin/PluginManager.h"
#include "time/TimeState.h"

#include <fstream>
#include <set>
#include <sstream>

namespace zovhost {

namespace {

/// A stored number in user-interface units, as setAttr reads it.
std::string numberWord(const AttributeImpl& a, double stored) {
  double value = stored;
  if (a.isUnit(MFnUnitAttribute::kTime)) value = stored / MTime::ticksPerUnit(MTime::uiUnit());
  if (a.isUnit(MFnUnitAttribute::kDistance)) value = MDistance::internalToUI(stored);
  if (a.isUnit(MFnUnitAttribute::kAngle)) value = MAngle::internalToUI(stored);
  const bool integral =
      a.kind == AttributeKind::Enum || (a.kind == AttributeKind::Numeric && a.numericType != MFnNumericData::kFloat &&
                                        a.numericType != MFnNumericData::kDouble);
  return integral ? std::to_string(static_cast<long long>(value)) : formatNumber(value);
}

/// The type words of a numeric leaf or of a numeric compound ("double3").
std::string numericTypeName(MFnNumericData::Type type) {
  switch (type) {
    case MFnNumericData::kBoolean:
      return "bool";
    case MFnNumericData::kShort:
      return "short";
    case MFnNumericData::kFloat:
      return "float";
    case MFnNumericData::kDouble:
      return "double";
    case MFnNumericData::k2Float:
      return "float2";
    case MFnNumericData::k3Float:
      return "float3";
    case MFnNumericData::k2Double:
      return "double2";
    case MFnNumericData::k3Double:
      return "double3";
    case MFnNumericData::k4Double:
      return "double4";
    case MFnNumericData::k2Short:
      return "short2";
    case MFnNumericData::k3Short:
      return "short3";
    case MFnNumericData::k2Int:
      return "long2";
    case MFnNumericData::k3Int:
      return "long3";
    default:
      return "long";
  }
}

/// The addAttr lines that declare a dynamic attribute: a compound with its
/// number of children, then each child naming it as parent. Empty for kinds
/// a scene cannot declare.
std::string addAttrLines(const NodeImpl& node, const AttributeImpl& a, const AttributeImpl* parent) {
  std::string line = "addAttr -ln " + quoted(a.longName) + " -sn " + quoted(a.shortName);
  if (a.isCompound()) {
    const std::string type = a.kind == AttributeKind::Numeric ? numericTypeName(a.numericType) : "compound";
    line += " -at " + type + " -nc " + std::to_string(a.children.size());
  } else if (a.kind == AttributeKind::Message) {
    line += " -at message";
  } else if (a.holdsString()) {
    line += " -dt string";
  } else if (a.kind == AttributeKind::Typed && (a.dataType == MFnData::kMatrix || a.dataType == MFnData::kMesh)) {
    line += a.dataType == MFnData::kMatrix ? " -dt matrix" : " -dt mesh";
  } else if (a.kind == AttributeKind::Unit) {
    line += a.isUnit(MFnUnitAttribute::kTime)       ? " -at time"
            : a.isUnit(MFnUnitAttribute::kDistance) ? " -at doubleLinear"
                                                    : " -at doubleAngle";
  } else if (a.kind == AttributeKind::Enum) {
    std::string fields;
    for (const auto& field : a.enumFields) fields += (fields.empty() ? "" : ":") + field.first;
    line += " -at enum -en " + quoted(fields);
  } else if (a.kind == AttributeKind::Numeric) {
    line += " -at " + numericTypeName(a.numericType) + " -dv " + formatNumber(a.defaultNumber);
  } else {
    return std::string();
  }
  if (a.array) line += " -m";
  if (a.keyable) line += " -k true";
  if (!a.storable) line += " -s false";
  if (parent) line += " -p " + quoted(parent->longName);
  line += " " + quoted(node.name) + ";\n";
  for (const auto& child : a.children) {
    const std::string childLines = addAttrLines(node, *child, &a);
    if (childLines.empty()) return std::string();  // a compound is declared whole or not at all
    line += childLines;
  }
  return line;
}

class SceneWriter {
 public:
  std::string text() const { return m_out.str(); }

  void header() {
    m_out << "// zov scene: host command lines\n";
    std::set<std::string> plugins;
    for (const auto& node : sceneGraph().nodes())
      if (!node->type->plugin.empty()) plugins.insert(node->type->plugin);
    for (const std::string& plugin : plugins) {
      const PluginObject* object = pluginManager().find(plugin);
      // Where the module came from, for a host whose plug-in path does not lead to it.
      m_out << "requires " << quoted(plugin) << " " << quoted(object ? object->version.str() : "Unknown");
      if (object && !object->path.empty()) m_out << " -path " << quoted(object->path);
      m_out << ";\n";
    }
    m_out << "currentUnit -l " << unitLine() << ";\n";
    const MTime::Unit unit = MTime::uiUnit();
    const TimeState& time = timeState();
    m_out << "playbackOptions -min " << formatNumber(time.minTime().as(unit)) << " -max "
          << formatNumber(time.maxTime().as(unit)) << " -ast " << formatNumber(time.animationStart().as(unit))
          << " -aet " << formatNumber(time.animationEnd().as(unit)) << " -ps " << formatNumber(time.playbackSpeed)
          << ";\n";
  }

  /// Writes a node, a DAG node after the parent it is made under.
  void node(const std::shared_ptr<NodeImpl>& node) {
    if (!m_written.insert(node.get()).second) return;
    // The view's default cameras belong to the host, not to the scene.
    if (node->defaultNode && node->hasFn(MFn::kDagNode)) return;
    NodeImpl* parent = node->dagParents.empty() ? nullptr : node->dagParents.front();
    if (parent) this->node(parent->shared_from_this());
    if (!node->defaultNode) {
      m_out << "createNode " << node->type->name << " -n " << quoted(node->name);
      if (parent) m_out << " -p " << quoted(parent->name);
      m_out << " -ss;\n";
    }
    for (const auto& attribute : node->dynamicAttributes) m_out << addAttrLines(*node, *attribute, nullptr);
    for (unsigned int i = 0; i < node->attributeCount(); ++i) {
      std::vector<int> indices;
      values(node, *node->attributeAt(i), indices);
    }
  }

  /// The further parents of instanced DAG nodes.
  void instances() {
    for (const auto& node : sceneGraph().nodes())
      for (size_t i = 1; i < node->dagParents.size(); ++i) {
        const NodeImpl* parent = node->dagParents[i];
        m_out << "parent -add -r -s " << quoted(node->name) << " " << (parent ? quoted(parent->name) : "-w") << ";\n";
      }
  }

  void connections() {
    for (const auto& c : sceneGraph().connections()) {
      // A shading group's members are a list, not fixed places: an imported
      // scene adds its meshes after the members the scene already has.
      if (isShadingGroupMember(c->destination)) {
        m_out << "connectAttr " << quoted(c->source.name().str()) << " " << quoted(c->destination.array().name().str())
              << " -na;\n";
        continue;
      }
      m_out << "connectAttr " << quoted(c->source.name().str()) << " " << quoted(c->destination.name().str()) << ";\n";
    }
  }

  static bool isShadingGroupMember(const MPlug& plug) {
    return plug.isElement() && plug.nodeImpl()->type->name == "shadingEngine" &&
           plug.array().partialName(false, false, false, false, false, true) == "dagSetMembers";
  }

  void footer() {
    for (const auto& node : sceneGraph().nodes())
      if (node->locked) m_out << "lockNode -l on " << quoted(node->name) << ";\n";
    m_out << "currentTime " << formatNumber(timeState().currentTime().as(MTime::uiUnit())) << ";\n";
  }

 private:
  static std::string unitLine() {
    // Centimetres stand for a unit the table does not name.
    std::string linear = nameOfUnit(kLinearUnits, MDistance::uiUnit(), false);
    if (linear.empty()) linear = "cm";
    const std::string angle = MAngle::uiUnit() == MAngle::kRadians ? "rad" : "deg";
    const std::string time = formatNumber(MTime(1.0, MTime::kSeconds).as(MTime::uiUnit())) + "fps";
    return linear + " -a " + angle + " -t " + time;
  }

  /// Writes the storable values below an attribute position (array elements,
  /// compound children, leaves), skipping values that come from connections.
  void values(const std::shared_ptr<NodeImpl>& node, const AttributeImpl& a, std::vector<int>& indices) {
    if (!a.storable || a.isMessage()) return;
    const MPlug plug(node, const_cast<AttributeImpl&>(a).shared_from_this(), indices);
    if (a.array && (indices.size() < a.arrayDepth() || indices.back() < 0)) {
      Slot* array = node->slot(a, indices, false);
      if (!array) return;
      std::vector<unsigned int> logical;
      for (const auto& element : array->elements) logical.push_back(element.first);
      for (unsigned int index : logical) {
        std::vector<int> elementIndices = plug.indices();
        elementIndices.back() = static_cast<int>(index);
        values(node, a, elementIndices);
      }
      return;
    }
    if (sceneGraph().incomingOf(plug)) return;
    const Slot* slot = node->slot(a, plug.indices(), false);
    if (!slot) return;
    if (!a.children.empty()) {
      for (const auto& child : a.children) {
        std::vector<int> childIndices = plug.indices();
        values(node, *child, childIndices);
      }
      // A locked compound is locked after all its children are set.
      if (slot->locked) m_locks.push_back(plug.name().str());
      flushLocks();
      return;
    }
    if (slot->locked) m_locks.push_back(plug.name().str());
    std::string line;
    // An array element exists even at the default value: leaving it out
    // would move the elements after it down when read back by position.
    const bool element = !plug.indices().empty();
    if (a.holdsNumber() && (element || slot->value.number != a.defaultNumber)) {
      line = numberWord(a, slot->value.number);
    } else if (a.holdsString() && slot->value.text != a.defaultString) {
      line = "-type \"string\" " + quoted(slot->value.text.str());
    } else if (a.kind == AttributeKind::Typed && !slot->value.data.isNull()) {
      std::vector<std::string> words;
      std::string type;
      if (attributeWords(plug, words, type)) {
        line = "-type " + quoted(type);
        for (const std::string& word : words) line += " " + word;
      }
    }
    if (!line.empty()) m_out << "setAttr " << quoted(plug.name().str()) << " " << line << ";\n";
    flushLocks();
  }

  void flushLocks() {
    for (const std::string& name : m_locks) m_out << "setAttr -l on " << quoted(name) << ";\n";
    m_locks.clear();
  }

  std::ostringstream m_out;
  std::vector<std::string> m_locks;
  std::set<const NodeImpl*> m_written;
};

/// Whether a scene file may be read under this guard; shows why not.
bool mayRead(const Interpreter::Nesting& nesting, const std::string& path) {
  if (nesting) return true;
  displayError(nesting.reentered() ? "file: '" + path + "' is being read already: it reads itself"
                                   : "file: Scene files nested too deeply, reading '" + path + "'");
  return false;
}

/// A scene file read whole and parsed, before anything in the scene changes.
struct SceneScript {
  std::vector<StatementPtr> statements;
};

/// Reads and parses a scene file under the nesting guard; false, with the
/// error shown and nothing changed, when the guard refuses it or it cannot be
/// read or does not parse.
bool readSceneScript(const Interpreter::Nesting& nesting, const std::string& path, SceneScript& script) {
  if (!mayRead(nesting, path)) return false;
  std::string text;
  // A folder reads as nothing: it is no scene.
  if (!fileExists(path) || !readFile(path, text)) {
    displayError("file: Cannot open file '" + path + "'");
    return false;
  }
  std::string error;
  if (!Interpreter::parseEach(text, script.statements, error)) {
    displayError(error);
    displayError("file: '" + path + "' cannot be read; the scene is left as it was");
    return false;
  }
  return true;
}

/// Runs a file's statements one at a time, going on after failures.
MStatus runSceneLines(const std::string& path, const SceneScript& script) {
  ExecuteOptions options;
  options.undoEnabled = false;
  options.origin = "scene";
  sceneGraph().holdNodeAdded();
  const int failures = hostInterpreter().executeEach(script.statements, options);
  sceneGraph().releaseNodeAdded();
  if (failures == 0) return MS::kSuccess;
  if (failures > 0) displayWarning("file: " + std::to_string(failures) + " line(s) of '" + path + "' failed");
  return MS::kFailure;
}

}  // namespace

void clearScene() {
  undoQueue().flush();
  activeSelection().clear();
  sceneGraph().clear();
  timeState().resetScene();
  timeState().createTimeNode();
  createDefaultShadingGroup();
}

std::string sceneText() {
  SceneWriter writer;
  writer.header();
  for (const auto& node : sceneGraph().nodes()) writer.node(node);
  writer.instances();
  writer.connections();
  writer.footer();
  return writer.text();
}

void newScene() {
  callbackRegistry().raiseScene(MSceneMessage::kBeforeNew);
  clearScene();
  hostSettings().sceneName.clear();
  callbackRegistry().raiseScene(MSceneMessage::kAfterNew);
  callbackRegistry().raiseEvent("NewSceneOpened");
}

MStatus saveScene(const std::string& path, bool exporting) {
  callbackRegistry().raiseScene(exporting ? MSceneMessage::kBeforeExport : MSceneMessage::kBeforeSave);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << sceneText();
  out.close();
  if (!out) {
    displayError("file: Cannot write file '" + path + "'");
    return MS::kFailure;
  }
  callbackRegistry().raiseScene(exporting ? MSceneMessage::kAfterExport : MSceneMessage::kAfterSave);
  if (!exporting) callbackRegistry().raiseEvent("SceneSaved");
  return MS::kSuccess;
}

MStatus openScene(const std::string& path) {
  // Checked before the scene is cleared: a file that opens itself changes nothing more.
  const Interpreter::Nesting nesting(hostInterpreter(), path);
  // The whole file is read first: one that cannot be read leaves the open scene alone.
  SceneScript script;
  if (!readSceneScript(nesting, path, script)) return MS::kFailure;
  callbackRegistry().raiseScene(MSceneMessage::kBeforeOpen);
  clearScene();
  hostSettings().sceneName = path;
  callbackRegistry().raiseScene(MSceneMessage::kBeforeFileRead);
  const MStatus status = runSceneLines(path, script);
  callbackRegistry().raiseScene(MSceneMessage::kAfterFileRead);
  callbackRegistry().raiseScene(MSceneMessage::kAfterOpen);
  callbackRegistry().raiseEvent("SceneOpened");
  return status;
}

MStatus importScene(const std::string& path) {
  const Interpreter::Nesting nesting(hostInterpreter(), path);
  SceneScript script;
  if (!readSceneScript(nesting, path, script)) return MS::kFailure;
  callbackRegistry().raiseScene(MSceneMessage::kBeforeImport);
  // Nodes whose names are taken get others; the file's later lines mean them.
  Graph::NameMapping& mapping = sceneGraph().nameMapping();
  const Graph::NameMapping outer = mapping;
  mapping = Graph::NameMapping{true, {}};
  const MStatus status = runSceneLines(path, script);
  mapping = outer;
  callbackRegistry().raiseScene(MSceneMessage::kAfterImport);
  return status;
}

}  // namespace zovhost
