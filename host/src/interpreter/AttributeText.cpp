#include "interpreter/AttributeText.h"

#include <maya/MFnMatrixData.h>

#include "commands/ArgumentText.h"
#include "core/DataObjects.h"
#include "dg/Graph.h"
#include "interpreter/HostArgs.h"
#include "interpreter/MeshText.h"
#include "mesh/MeshData.h"

#include <cstdio>
#include <map>

namespace zovhost {

namespace {

// Elements of a 4x4 matrix.
constexpr size_t kMatrixElements = 16;

/// A number read from a plug, in user-interface units.
double uiNumber(const MPlug& plug) {
  const AttributeImpl& a = *plug.attributeImpl();
  const double value = plug.asDouble();
  if (a.isUnit(MFnUnitAttribute::kDistance)) return MDistance::internalToUI(value);
  if (a.isUnit(MFnUnitAttribute::kAngle)) return MAngle::internalToUI(value);
  return value;
}

MStatus setUINumber(const MPlug& plug, double value) {
  const AttributeImpl& a = *plug.attributeImpl();
  MPlug target = plug;
  if (a.isUnit(MFnUnitAttribute::kDistance)) value = MDistance::uiToInternal(value);
  if (a.isUnit(MFnUnitAttribute::kAngle)) value = MAngle::uiToInternal(value);
  return target.setValue(value);
}

std::string leafWord(const MPlug& plug) {
  const AttributeImpl& a = *plug.attributeImpl();
  const double value = uiNumber(plug);
  const bool integral =
      a.kind == AttributeKind::Enum || (a.kind == AttributeKind::Numeric && a.numericType != MFnNumericData::kFloat &&
                                        a.numericType != MFnNumericData::kDouble);
  return integral ? std::to_string(static_cast<long long>(value)) : formatNumber(value);
}

/// A limit as a message shows it.
std::string limitText(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.10g", value);
  return text;
}

}  // namespace

bool checkNumberWords(const MPlug& plug, const std::vector<std::string>& words, std::string& error,
                      std::vector<std::string>& clamped) {
  if (plug.isNull()) return true;
  const AttributeImpl& a = *plug.attributeImpl();
  std::vector<MPlug> leaves;
  if (a.holdsNumber() && words.size() == 1) {
    leaves.push_back(plug);
  } else if (a.kind == AttributeKind::Numeric && a.isCompound() && !(plug.isArray() && !plug.isElement()) &&
             words.size() == plug.numChildren()) {
    for (unsigned int i = 0; i < plug.numChildren(); ++i) leaves.push_back(plug.child(i));
  }
  for (size_t i = 0; i < leaves.size(); ++i) {
    const AttributeImpl& leaf = *leaves[i].attributeImpl();
    double value = 0.0;
    // Enum fields are checked by name; times hold any finite value.
    if (!parseDouble(words[i], value) || leaf.kind == AttributeKind::Enum || leaf.isUnit(MFnUnitAttribute::kTime))
      continue;
    if (leaf.isUnit(MFnUnitAttribute::kDistance)) value = MDistance::uiToInternal(value);
    if (leaf.isUnit(MFnUnitAttribute::kAngle)) value = MAngle::uiToInternal(value);
    const auto [low, high] = leaf.range();
    const std::string range = "from " + limitText(low) + " to " + limitText(high);
    if (!leaf.acceptsNumber(value)) {
      error = "'" + leaves[i].name().str() + "' cannot hold " + words[i] + ": it takes values " + range;
      return false;
    }
    if (value < low || value > high)
      clamped.push_back("'" + leaves[i].name().str() + "' takes values " + range + "; " + words[i] + " was taken as " +
                        limitText(value < low ? low : high));
  }
  return true;
}

std::string quoted(const std::string& text) {
  std::string result = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') result += '\\';
    if (c == '\n') {
      result += "\\n";
      continue;
    }
    result += c;
  }
  return result + "\"";
}

MPlug plugByName(const std::string& name, std::string& error) {
  const size_t dot = name.find('.');
  if (dot == std::string::npos) {
    error = "'" + name + "' is not an attribute name";
    return MPlug();
  }
  const auto node = sceneGraph().find(name.substr(0, dot));
  if (!node) {
    error = "No object matches name: " + name.substr(0, dot);
    return MPlug();
  }
  std::map<const AttributeImpl*, int> given;
  std::shared_ptr<AttributeImpl> last;
  size_t start = dot + 1;
  while (start <= name.size()) {
    const size_t end = name.find('.', start);
    std::string part = name.substr(start, end == std::string::npos ? std::string::npos : end - start);
    int index = -1;
    const size_t bracket = part.find('[');
    if (bracket != std::string::npos) {
      if (part.back() != ']' || !parseInt(part.substr(bracket + 1, part.size() - bracket - 2), index) || index < 0) {
        error = "Bad element index in '" + name + "'";
        return MPlug();
      }
      part = part.substr(0, bracket);
    }
    last = node->findAttribute(part);
    if (!last) {
      error = "No attribute '" + part + "' on " + node->name;
      return MPlug();
    }
    if (index >= 0) {
      if (!last->array) {
        error = "'" + part + "' is not an array";
        return MPlug();
      }
      given[last.get()] = index;
    }
    if (end == std::string::npos) break;
    start = end + 1;
  }
  std::vector<int> indices;
  for (const AttributeImpl* a : last->chain())
    if (a->array) {
      const auto found = given.find(a);
      indices.push_back(found == given.end() ? -1 : found->second);
    }
  return MPlug(node, last, indices);
}

bool attributeWords(const MPlug& plug, std::vector<std::string>& words, std::string& type) {
  words.clear();
  type.clear();
  if (plug.isNull()) return false;
  const AttributeImpl& a = *plug.attributeImpl();
  if (a.isMessage() || (plug.isArray() && !plug.isElement())) return false;
  if (a.holdsNumber()) {
    words.push_back(leafWord(plug));
    return true;
  }
  if (a.holdsString()) {
    type = "string";
    words.push_back(plug.asString().str());
    return true;
  }
  if (a.kind == AttributeKind::Typed && a.dataType == MFnData::kMatrix) {
    type = "matrix";
    const MMatrix matrix = MFnMatrixData(plug.asMObject()).matrix();
    for (unsigned int r = 0; r < 4; ++r)
      for (unsigned int c = 0; c < 4; ++c) words.push_back(formatNumber(matrix(r, c)));
    return true;
  }
  if (a.kind == AttributeKind::Numeric && a.isCompound()) {
    for (unsigned int i = 0; i < plug.numChildren(); ++i) words.push_back(leafWord(plug.child(i)));
    return true;
  }
  if (a.kind == AttributeKind::Typed && a.dataType == MFnData::kMesh) {
    const auto mesh = meshDataOf(plug.asMObject());
    if (!mesh || !mesh->geometry) return false;
    type = "mesh";
    words = meshWords(*mesh->geometry);
    return true;
  }
  return false;
}

MStatus setAttributeWords(const MPlug& plug, const std::vector<std::string>& words) {
  if (plug.isNull()) return MS::kInvalidParameter;
  const AttributeImpl& a = *plug.attributeImpl();
  MPlug target = plug;
  if (a.holdsNumber()) {
    if (words.size() != 1) return MS::kInvalidParameter;
    double value = 0.0;
    bool flag = false;
    if (parseDouble(words[0], value)) return setUINumber(plug, value);
    if (parseBool(words[0], flag)) return setUINumber(plug, flag ? 1.0 : 0.0);
    if (a.kind == AttributeKind::Enum)
      for (const auto& [field, number] : a.enumFields)
        if (field == words[0]) return target.setValue(static_cast<int>(number));
    return MS::kInvalidParameter;
  }
  if (a.holdsString()) {
    if (words.size() != 1) return MS::kInvalidParameter;
    return target.setValue(MString(words[0]));
  }
  if (a.kind == AttributeKind::Typed && a.dataType == MFnData::kMatrix) {
    if (words.size() != kMatrixElements) return MS::kInvalidParameter;
    MMatrix matrix;
    for (size_t i = 0; i < kMatrixElements; ++i)
      if (!parseDouble(words[i], matrix.matrix[i / 4][i % 4])) return MS::kInvalidParameter;
    MFnMatrixData data;
    return target.setValue(data.create(matrix));
  }
  if (a.kind == AttributeKind::Typed && a.dataType == MFnData::kMesh) {
    auto mesh = std::make_shared<MeshGeometry>();
    if (!meshFromWords(words, *mesh)) return MS::kInvalidParameter;
    return target.setValue(MObject(std::make_shared<MeshData>(std::move(mesh))));
  }
  if (a.kind == AttributeKind::Numeric && a.isCompound() && !(plug.isArray() && !plug.isElement())) {
    if (words.size() != plug.numChildren()) return MS::kInvalidParameter;
    // Every component is read before any is set, so that a bad one changes nothing.
    std::vector<double> values(words.size());
    for (unsigned int i = 0; i < plug.numChildren(); ++i)
      if (!parseDouble(words[i], values[i]) || !plug.child(i).attributeImpl()->acceptsNumber(values[i]))
        return MS::kInvalidParameter;
    for (unsigned int i = 0; i < plug.numChildren(); ++i) {
      const MStatus status = setUINumber(plug.child(i), values[i]);
      if (!status) return status;
    }
    return MS::kSuccess;
  }
  return MS::kInvalidParameter;
}

}  // namespace zovhost
