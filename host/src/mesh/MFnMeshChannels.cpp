// MFnMesh: UV sets, colour sets, blind data and shading groups.
#include <maya/MFnMesh.h>

#include "dg/NodeImpl.h"
#include "mathtypes/StatusOut.h"
#include "mesh/BlindDataTypes.h"
#include "mesh/MeshData.h"
#include "mesh/MeshNode.h"
#include "mesh/MeshView.h"
#include "mesh/ShadingGroups.h"

#include <algorithm>

using zovhost::ColorSet;
using zovhost::MeshGeometry;
using zovhost::MeshView;
using zovhost::setStatus;
using zovhost::UVSet;

namespace {

std::string nameOf(const MString* name) { return name ? name->str() : std::string(); }

/// Index of the corner of a polygon in the mesh's face-vertex order; -1 when out of range.
int faceVertexOf(const MeshGeometry& mesh, int polygon, int corner) {
  if (!mesh.validPolygon(polygon) || corner < 0 || corner >= mesh.counts()[static_cast<size_t>(polygon)]) return -1;
  return mesh.offset(polygon) + corner;
}

/// Ids that do not reach an entry become unassigned.
void dropStaleIds(std::vector<int>& ids, size_t count) {
  for (int& id : ids)
    if (id >= static_cast<int>(count)) id = -1;
}

// The two kinds of per-corner sets, UV sets and colour sets, seen alike by
// the members that list, name and add them.
struct UVSets {
  static const std::vector<UVSet>& of(const MeshGeometry& mesh) { return mesh.uvSets(); }
  static const std::string& current(const MeshGeometry& mesh) { return mesh.currentUVSet(); }
  static bool setCurrent(MeshGeometry& mesh, const std::string& name) { return mesh.setCurrentUVSet(name); }
  static std::string add(MeshGeometry& mesh, const std::string& name, bool) { return mesh.addUVSet(name); }
};

struct ColorSets {
  static const std::vector<ColorSet>& of(const MeshGeometry& mesh) { return mesh.colorSets(); }
  static const std::string& current(const MeshGeometry& mesh) { return mesh.currentColorSet(); }
  static bool setCurrent(MeshGeometry& mesh, const std::string& name) { return mesh.setCurrentColorSet(name); }
  static std::string add(MeshGeometry& mesh, const std::string& name, bool clamped) {
    return mesh.addColorSet(name, clamped);
  }
};

template <typename Kind>
int setCount(const MeshView& view, MStatus* status) {
  setStatus(status, view.valid() ? MS::kSuccess : MS::kFailure);
  return view.valid() ? static_cast<int>(Kind::of(*view.geometry).size()) : 0;
}

template <typename Kind>
MStatus getSetNames(const MeshView& view, MStringArray& setNames) {
  setNames.clear();
  if (!view.valid()) return MS::kFailure;
  for (const auto& set : Kind::of(*view.geometry)) setNames.append(MString(set.name));
  return MS::kSuccess;
}

template <typename Kind>
MString currentSetName(const MeshView& view, MStatus* status) {
  setStatus(status, view.valid() ? MS::kSuccess : MS::kFailure);
  return view.valid() ? MString(Kind::current(*view.geometry)) : MString();
}

/// Adds a set named after name (made unique) to mesh, the copy being edited,
/// and hands the copy to replace; the name given, empty on failure. A null
/// mesh or an invalid name fails with failure.
template <typename Kind, typename Replace>
MString addSet(const std::shared_ptr<MeshGeometry>& mesh, const MString& name, bool clamped, MStatus failure,
               Replace replace, MStatus* status) {
  if (!mesh || !MeshGeometry::isValidSetName(name.str())) {
    setStatus(status, failure);
    return MString();
  }
  const std::string given = Kind::add(*mesh, name.str(), clamped);
  const MStatus result = replace(mesh);
  setStatus(status, result);
  return result ? MString(given) : MString();
}

}  // namespace

std::shared_ptr<MeshGeometry> MFnMesh::editableGeometry(MStatus& status) const {
  const MeshView view = zovhost::meshViewOf(m_object, m_path);
  status = view.valid() ? MStatus(MS::kSuccess) : MStatus(MS::kFailure);
  return view.valid() ? std::make_shared<MeshGeometry>(*view.geometry) : nullptr;
}

MStatus MFnMesh::editGeometry(const std::function<MStatus(MeshGeometry&)>& edit) {
  MStatus status;
  auto mesh = editableGeometry(status);
  if (!mesh) return status;
  if (!(status = edit(*mesh))) return status;
  return replaceGeometry(mesh);
}

// --- UV sets -------------------------------------------------------------

int MFnMesh::numUVSets(MStatus* status) const {
  return setCount<UVSets>(zovhost::meshViewOf(m_object, m_path), status);
}

MStatus MFnMesh::getUVSetNames(MStringArray& setNames) const {
  return getSetNames<UVSets>(zovhost::meshViewOf(m_object, m_path), setNames);
}

MString MFnMesh::currentUVSetName(MStatus* status) const {
  return currentSetName<UVSets>(zovhost::meshViewOf(m_object, m_path), status);
}

MStatus MFnMesh::setCurrentUVSetName(const MString& name) {
  return editGeometry([&](MeshGeometry& mesh) {
    return UVSets::setCurrent(mesh, name.str()) ? MStatus(MS::kSuccess) : MStatus(MS::kInvalidParameter);
  });
}

MString MFnMesh::createUVSetWithName(const MString& name, MStatus* status) {
  MStatus result;
  auto mesh = editableGeometry(result);
  return addSet<UVSets>(
      mesh, name, false, mesh ? MStatus(MS::kInvalidParameter) : result,
      [this](const std::shared_ptr<MeshGeometry>& edited) { return replaceGeometry(edited); }, status);
}

MString MFnMesh::createUVSetDataMeshWithName(const MString& name, MStatus* status) {
  if (!zovhost::meshDataOf(m_object)) {
    setStatus(status, MS::kInvalidParameter);
    return MString();
  }
  return createUVSetWithName(name, status);
}

MStatus MFnMesh::renameUVSet(const MString& origName, const MString& newName) {
  return editGeometry([&](MeshGeometry& mesh) -> MStatus {
    UVSet* set = mesh.findUVSet(origName.str());
    if (origName.length() == 0 || !set || !MeshGeometry::isValidSetName(newName.str())) return MS::kInvalidParameter;
    if (newName.str() != origName.str() && mesh.findUVSet(newName.str())) return MS::kInvalidParameter;
    const bool current = mesh.currentUVSet() == set->name;
    set->name = newName.str();
    if (current) mesh.setCurrentUVSet(set->name);
    return MS::kSuccess;
  });
}

MStatus MFnMesh::deleteUVSet(const MString& name) {
  return editGeometry([&](MeshGeometry& mesh) -> MStatus {
    auto& sets = mesh.uvSets();
    const auto found = std::find_if(sets.begin(), sets.end(), [&](const UVSet& s) { return s.name == name.str(); });
    if (found == sets.end() || sets.size() == 1) return MS::kInvalidParameter;
    const bool current = mesh.currentUVSet() == found->name;
    sets.erase(found);
    if (current) mesh.setCurrentUVSet(sets.front().name);
    return MS::kSuccess;
  });
}

int MFnMesh::numUVs(MStatus* status) const { return numUVs(MString(), status); }

int MFnMesh::numUVs(const MString& name, MStatus* status) const {
  const MeshView view = zovhost::meshViewOf(m_object, m_path);
  const UVSet* set = view.valid() ? view.geometry->findUVSet(name.str()) : nullptr;
  setStatus(status, set ? MS::kSuccess : MS::kInvalidParameter);
  return set ? static_cast<int>(set->u.size()) : 0;
}

MStatus MFnMesh::getUVs(MFloatArray& uArray, MFloatArray& vArray, const MString* uvSet) const {
  uArray.clear();
  vArray.clear();
  const MeshView view = zovhost::meshViewOf(m_object, m_path);
  const UVSet* set = view.valid() ? view.geometry->findUVSet(nameOf(uvSet)) : nullptr;
  if (!set) return MS::kInvalidParameter;
  uArray.items() = set->u;
  vArray.items() = set->v;
  return MS::kSuccess;
}

MStatus MFnMesh::setUVs(const MFloatArray& uArray, const MFloatArray& vArray, const MString* uvSet) {
  if (uArray.length() != vArray.length()) return MS::kInvalidParameter;
  return editGeometry([&](MeshGeometry& mesh) -> MStatus {
    UVSet* set = mesh.findUVSet(nameOf(uvSet));
    if (!set) return MS::kInvalidParameter;
    set->u = uArray.items();
    set->v = vArray.items();
    dropStaleIds(set->ids, set->u.size());
    return MS::kSuccess;
  });
}

MStatus MFnMesh::setSomeUVs(const MIntArray& uvIds, const MFloatArray& uArray, const MFloatArray& vArray,
                            const MString* uvSet) {
  if (uArray.length() != vArray.length() || uArray.length() != uvIds.length()) return MS::kInvalidParameter;
  return editGeometry([&](MeshGeometry& mesh) -> MStatus {
    UVSet* set = mesh.findUVSet(nameOf(uvSet));
    if (!set) return MS::kInvalidParameter;
    for (unsigned int i = 0; i < uvIds.length(); ++i)
      if (uvIds[i] < 0 || static_cast<size_t>(uvIds[i]) >= set->u.size()) return MS::kInvalidParameter;
    for (unsigned int i = 0; i < uvIds.length(); ++i) {
      set->u[static_cast<size_t>(uvIds[i])] = uArray[i];
      set->v[static_cast<size_t>(uvIds[i])] = vArray[i];
    }
    return MS::kSuccess;
  });
}

MStatus MFnMesh::clearUVs(const MString* uvSet) {
  return editGeometry([&](MeshGeometry& mesh) -> MStatus {
    UVSet* set = mesh.findUVSet(nameOf(uvSet));
    if (!set) return MS::kInvalidParameter;
    set->u.clear();
    set->v.clear();
    std::fill(set->ids.begin(), set->ids.end(), -1);
    return MS::kSuccess;
  });
}

MStatus MFnMesh::assignUVs(const MIntArray& uvCounts, const MIntArray& uvIds, const MString* uvSet) {
  return editGeometry([&](MeshGeometry& mesh) -> MStatus {
    UVSet* set = mesh.findUVSet(nameOf(uvSet));
    if (!set || uvCounts.length() != static_cast<unsigned int>(mesh.polygonCount())) return MS::kInvalidParameter;
    std::vector<int> ids(static_cast<size_t>(mesh.faceVertexCount()), -1);
    unsigned int next = 0;
    for (int p = 0; p < mesh.polygonCount(); ++p) {
      const int count = uvCounts[static_cast<unsigned int>(p)];
      if (count == 0) continue;
      if (count != mesh.counts()[static_cast<size_t>(p)] || next + static_cast<unsigned int>(count) > uvIds.length())
        return MS::kInvalidParameter;
      for (int k = 0; k < count; ++k) {
        const int id = uvIds[next++];
        if (id < 0 || static_cast<size_t>(id) >= set->u.size()) return MS::kInvalidParameter;
        ids[static_cast<size_t>(mesh.offset(p) + k)] = id;
      }
    }
    if (next != uvIds.length()) return MS::kInvalidParameter;
    set->ids = std::move(ids);
    return MS::kSuccess;
  });
}

MStatus MFnMesh::getAssignedUVs(MIntArray& uvCounts, MIntArray& uvIds, const MString* uvSet) const {
  uvCounts.clear();
  uvIds.clear();
  const MeshView view = zovhost::meshViewOf(m_object, m_path);
  const UVSet* set = view.valid() ? view.geometry->findUVSet(nameOf(uvSet)) : nullptr;
  if (!set) return MS::kInvalidParameter;
  const MeshGeometry& mesh = *view.geometry;
  for (int p = 0; p < mesh.polygonCount(); ++p) {
    const int count = mesh.counts()[static_cast<size_t>(p)];
    bool all = true;
    for (int k = 0; k < count; ++k) all = all && set->ids[static_cast<size_t>(mesh.offset(p) + k)] >= 0;
    uvCounts.append(all ? count : 0);
    if (all)
      for (int k = 0; k < count; ++k) uvIds.append(set->ids[static_cast<size_t>(mesh.offset(p) + k)]);
  }
  return MS::kSuccess;
}

MStatus MFnMesh::getPolygonUVid(int polygonId, int vertexIndex, int& uvId, const MString* uvSet) const {
  const MeshView view = zovhost::meshViewOf(m_object, m_path);
  const UVSet* set = view.valid() ? view.geometry->findUVSet(nameOf(uvSet)) : nullptr;
  const int faceVertex = set ? faceVertexOf(*view.geometry, polygonId, vertexIndex) : -1;
  if (faceVertex < 0 || set->ids[static_cast<size_t>(faceVertex)] < 0) return MS::kFailure;
  uvId = set->ids[static_cast<size_t>(faceVertex)];
  return MS::kSuccess;
}

MStatus MFnMesh::getPolygonUV(int polygonId, int vertexIndex, float& u, float& v, const MString* uvSet) const {
  int id = 0;
  const MStatus status = getPolygonUVid(polygonId, vertexIndex, id, uvSet);
  if (!status) return status;
  const UVSet* set = zovhost::meshViewOf(m_object, m_path).geometry->findUVSet(nameOf(uvSet));
  u = set->u[static_cast<size_t>(id)];
  v = set->v[static_cast<size_t>(id)];
  return MS::kSuccess;
}

// --- Colour sets ---------------------------------------------------------

int MFnMesh::numColorSets(MStatus* status) const {
  return setCount<ColorSets>(zovhost::meshViewOf(m_object, m_path), status);
}

MStatus MFnMesh::getColorSetNames(MStringArray& setNames) const {
  return getSetNames<ColorSets>(zovhost::meshViewOf(m_object, m_path), setNames);
}

MString MFnMesh::currentColorSetName(MStatus* status) const {
  return currentSetName<ColorSets>(zovhost::meshViewOf(m_object, m_path), status);
}

MStatus MFnMesh::setCurrentColorSetName(const MString& name) {
  return editGeometry([&](MeshGeometry& mesh) {
    return ColorSets::setCurrent(mesh, name.str()) ? MStatus(MS::kSuccess) : MStatus(MS::kInvalidParameter);
  });
}

MString MFnMesh::createColorSetWithName(const MString& name, MStatus* status) {
  MStatus result;
  auto mesh = editableGeometry(result);
  return addSet<ColorSets>(
      mesh, name, false, mesh ? MStatus(MS::kInvalidParameter) : result,
      [this](const std::shared_ptr<MeshGeometry>& edited) { return replaceGeometry(edited); }, status);
}

MStatus MFnMesh::deleteColorSet(const MString& name) {
  return editGeometry([&](MeshGeometry& mesh) -> MStatus {
    if (!mesh.removeColorSet(name.str())) return MS::kInvalidParameter;
    return MS::kSuccess;
  });
}

MString MFnMesh::createColorSetWithNameDataMesh(const MString& name, bool clamped, MStatus* status) {
  MStatus result;
  auto mesh = zovhost::meshDataOf(m_object) ? editableGeometry(result) : nullptr;
  return addSet<ColorSets>(
      mesh, name, clamped, MS::kInvalidParameter,
      [this](const std::shared_ptr<MeshGeometry>& edited) { return replaceGeometry(edited); }, status);
}

int MFnMesh::numColors(MStatus* status) const { return numColors(MString(), status); }

int MFnMesh::numColors(const MString& colorSet, MStatus* status) const {
  const MeshView view = zovhost::meshViewOf(m_object, m_path);
  const ColorSet* set = view.valid() ? view.geometry->findColorSet(colorSet.str()) : nullptr;
  setStatus(status, set ? MS::kSuccess : MS::kInvalidParameter);
  return set ? static_cast<int>(set->colors.size()) : 0;
}

MStatus MFnMesh::getColors(MColorArray& colors, const MString* colorSet, const MColor* defaultUnsetColor) const {
  colors.clear();
  const MeshView view = zovhost::meshViewOf(m_object, m_path);
  const ColorSet* set = view.valid() ? view.geometry->findColorSet(nameOf(colorSet)) : nullptr;
  if (!set) return MS::kInvalidParameter;
  if (!defaultUnsetColor) {
    colors.items() = set->colors;
    return MS::kSuccess;
  }
  for (int id : set->ids) colors.append(id >= 0 ? set->colors[static_cast<size_t>(id)] : *defaultUnsetColor);
  return MS::kSuccess;
}

MStatus MFnMesh::setColors(const MColorArray& colors, const MString* colorSet) {
  return editGeometry([&](MeshGeometry& mesh) -> MStatus {
    ColorSet* set = mesh.findColorSet(nameOf(colorSet));
    if (!set) return MS::kInvalidParameter;
    set->colors = colors.items();
    if (set->clamped)
      for (MColor& c : set->colors)
        for (float* channel : {&c.r, &c.g, &c.b, &c.a}) *channel = std::min(std::max(*channel, 0.0f), 1.0f);
    dropStaleIds(set->ids, set->colors.size());
    return MS::kSuccess;
  });
}

MStatus MFnMesh::clearColors(const MString* colorSet) {
  return editGeometry([&](MeshGeometry& mesh) -> MStatus {
    ColorSet* set = mesh.findColorSet(nameOf(colorSet));
    if (!set) return MS::kInvalidParameter;
    set->colors.clear();
    std::fill(set->ids.begin(), set->ids.end(), -1);
    return MS::kSuccess;
  });
}

MStatus MFnMesh::assignColors(const MIntArray& colorIds, const MString* colorSet) {
  return editGeometry([&](MeshGeometry& mesh) -> MStatus {
    ColorSet* set = mesh.findColorSet(nameOf(colorSet));
    if (!set || colorIds.length() != static_cast<unsigned int>(mesh.faceVertexCount())) return MS::kInvalidParameter;
    for (unsigned int i = 0; i < colorIds.length(); ++i)
      if (colorIds[i] < -1 || colorIds[i] >= static_cast<int>(set->colors.size())) return MS::kInvalidParameter;
    for (unsigned int i = 0; i < colorIds.length(); ++i) set->ids[i] = colorIds[i];
    return MS::kSuccess;
  });
}

MStatus MFnMesh::getColorIndex(int polygonId, int vertexIndex, int& colorIndex, const MString* colorSet) const {
  const MeshView view = zovhost::meshViewOf(m_object, m_path);
  const ColorSet* set = view.valid() ? view.geometry->findColorSet(nameOf(colorSet)) : nullptr;
  const int faceVertex = set ? faceVertexOf(*view.geometry, polygonId, vertexIndex) : -1;
  if (faceVertex < 0) return MS::kInvalidParameter;
  colorIndex = set->ids[static_cast<size_t>(faceVertex)];
  return colorIndex >= 0 ? MStatus(MS::kSuccess) : MStatus(MS::kFailure);
}

MStatus MFnMesh::setDisplayColors(bool enable) {
  const auto node = zovhost::nodeOf(m_object);
  if (!node || !node->hasFn(MFn::kMesh)) return MS::kFailure;
  return MPlug(m_object, zovhost::MeshNode::displayColors).setValue(enable);
}

bool MFnMesh::displayColors(MStatus* status) const {
  const auto node = zovhost::nodeOf(m_object);
  const bool valid = node && node->hasFn(MFn::kMesh);
  setStatus(status, valid ? MS::kSuccess : MS::kFailure);
  return valid && MPlug(m_object, zovhost::MeshNode::displayColors).asBool();
}

// --- Blind data ----------------------------------------------------------

bool MFnMesh::isBlindDataTypeUsed(int blindDataId, MStatus* status) const {
  setStatus(status, MS::kSuccess);
  zovhost::BlindDataType type;
  return zovhost::findBlindDataType(blindDataId, type);
}

MStatus MFnMesh::createBlindDataType(int blindDataId, const MStringArray& longNames, const MStringArray& shortNames,
                                     const MStringArray& formatNames) {
  if (longNames.length() != shortNames.length() || longNames.length() != formatNames.length())
    return MS::kInvalidParameter;
  zovhost::BlindDataType type;
  type.id = blindDataId;
  for (unsigned int i = 0; i < longNames.length(); ++i)
    type.attributes.push_back({longNames[i].str(), shortNames[i].str(), formatNames[i].str()});
  std::string error;
  return zovhost::addBlindDataType(type, error) ? MStatus(MS::kSuccess) : MStatus(MS::kInvalidParameter);
}

bool MFnMesh::hasBlindData(MFn::Type compType, MStatus* status) const {
  const MeshView view = zovhost::meshViewOf(m_object, m_path);
  setStatus(status, view.valid() ? MS::kSuccess : MS::kFailure);
  if (!view.valid() || compType != MFn::kMeshPolygonComponent) return false;
  for (const auto& entry : view.geometry->faceBlindData())
    if (!entry.second.empty()) return true;
  return false;
}

bool MFnMesh::hasBlindData(MFn::Type compType, int blindDataId, MStatus* status) const {
  const MeshView view = zovhost::meshViewOf(m_object, m_path);
  setStatus(status, view.valid() ? MS::kSuccess : MS::kFailure);
  return view.valid() && compType == MFn::kMeshPolygonComponent && view.geometry->hasFaceBlindData(blindDataId);
}

MStatus MFnMesh::getIntBlindData(int compId, MFn::Type compType, int blindDataId, const MString& attrName,
                                 int& data) const {
  const MeshView view = zovhost::meshViewOf(m_object, m_path);
  if (!view.valid()) return MS::kFailure;
  zovhost::BlindDataType type;
  if (compType != MFn::kMeshPolygonComponent || !zovhost::findBlindDataType(blindDataId, type))
    return MS::kInvalidParameter;
  const zovhost::BlindDataAttribute* attribute = type.attribute(attrName.str());
  if (!attribute || !view.geometry->validPolygon(compId)) return MS::kInvalidParameter;
  return view.geometry->faceBlindValue(blindDataId, attribute->longName, compId, data) ? MStatus(MS::kSuccess)
                                                                                       : MStatus(MS::kFailure);
}

MStatus MFnMesh::setIntBlindData(int compId, MFn::Type compType, int blindDataId, const MString& attrName, int data) {
  MIntArray ids;
  ids.append(compId);
  return setIntBlindData(ids, compType, blindDataId, attrName, data);
}

MStatus MFnMesh::setIntBlindData(const MIntArray& compIds, MFn::Type compType, int blindDataId, const MString& attrName,
                                 int data) {
  MIntArray values;
  for (unsigned int i = 0; i < compIds.length(); ++i) values.append(data);
  return setIntBlindData(compIds, compType, blindDataId, attrName, values);
}

MStatus MFnMesh::setIntBlindData(const MIntArray& compIds, MFn::Type compType, int blindDataId, const MString& attrName,
                                 const MIntArray& data) {
  return editGeometry([&](MeshGeometry& mesh) -> MStatus {
    zovhost::BlindDataType type;
    if (compType != MFn::kMeshPolygonComponent || !zovhost::findBlindDataType(blindDataId, type))
      return MS::kInvalidParameter;
    const zovhost::BlindDataAttribute* attribute = type.attribute(attrName.str());
    if (!attribute || compIds.length() != data.length()) return MS::kInvalidParameter;
    for (unsigned int i = 0; i < compIds.length(); ++i)
      if (!mesh.validPolygon(compIds[i])) return MS::kInvalidParameter;
    for (unsigned int i = 0; i < compIds.length(); ++i)
      mesh.setFaceBlindValue(blindDataId, attribute->longName, compIds[i], data[i]);
    return MS::kSuccess;
  });
}

// --- Shading -------------------------------------------------------------

MStatus MFnMesh::getConnectedShaders(unsigned int, MObjectArray& shaders, MIntArray& indices) const {
  shaders.clear();
  indices.clear();
  const auto node = zovhost::nodeOf(m_object);
  if (!node || !node->hasFn(MFn::kMesh)) return MS::kFailure;
  std::vector<std::shared_ptr<zovhost::NodeImpl>> groups;
  std::vector<int> perPolygon;
  zovhost::polygonGroups(node, numPolygons(), groups, perPolygon);
  for (const auto& group : groups) shaders.append(MObject(group));
  for (int index : perPolygon) indices.append(index);
  return MS::kSuccess;
}
