#include "src/meshes/engineMeshOutput.h"

#include <maya/MColorArray.h>
#include <maya/MFloatArray.h>
#include <maya/MFloatPointArray.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MGlobal.h>
#include <maya/MIntArray.h>
#include <maya/MPlug.h>
#include <maya/MPlugArray.h>
#include <maya/MVectorArray.h>

#include <algorithm>
#include <string>
#include <vector>

#include "src/hostEngineConversions.h"
#include "src/meshes/cutFaceTags.h"
#include "src/userInput.h"

namespace {

// Below this many points, or at this many with more faces, no solid mesh can be made.
constexpr unsigned int kMinPoints = 4;
constexpr const char* kDefaultColorSet = "colorSet1";

/// An index, or 0 when it is not below the limit.
int bounded(std::uint32_t index, std::uint32_t limit) { return index < limit ? static_cast<int>(index) : 0; }

/// The host arrays of an engine mesh.
struct HostArrays {
  MFloatPointArray points;
  MColorArray colours;
  MFloatArray u;
  MFloatArray v;
  MIntArray counts;
  MIntArray connects;
  MIntArray colourIds;
  /// Per carried UV set, the id of every corner.
  std::vector<MIntArray> uvIds;
};

HostArrays hostArrays(const ZOV_DFmesh& mesh) {
  HostArrays a;
  for (std::uint32_t i = 0; i < mesh.numVertices; ++i) {
    const Mgc::MgcVector3& p = mesh.worldVertices[i];
    a.points.append(MFloatPoint(static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)));
  }
  for (std::uint32_t i = 0; i < mesh.numExtraPoints && mesh.extraPoints; ++i) {
    const Mgc::MgcVector3& c = mesh.extraPoints[i];
    a.colours.append(MColor(static_cast<float>(c.x), static_cast<float>(c.y), static_cast<float>(c.z)));
  }
  for (std::uint32_t i = 0; i < mesh.numUVs && mesh.uvs; ++i) {
    a.u.append(static_cast<float>(mesh.uvs[i].x));
    a.v.append(static_cast<float>(mesh.uvs[i].y));
  }
  const bool colourIds = (mesh.dfFlags & kDFmeshHasExtraPoints) != 0;
  const std::uint32_t sets = (mesh.dfFlags & kDFmeshMultipleUVLayers) ? std::max(mesh.numUVLayers, 1u) : 1u;
  a.uvIds.resize(std::min(sets, kMaxUVLayers));
  for (std::uint32_t f = 0; f < mesh.numFaces; ++f) {
    const DFface& face = mesh.faces[f];
    a.counts.append(static_cast<int>(face.numVertices));
    for (std::uint32_t k = 0; k < face.numVertices; ++k) {
      a.connects.append(bounded(face.vertices[k], mesh.numVertices));
      if (colourIds) a.colourIds.append(face.extraIndices ? bounded(face.extraIndices[k], mesh.numExtraPoints) : 0);
      a.uvIds[0].append(face.uvIndices ? bounded(face.uvIndices[k], mesh.numUVs) : 0);
      for (std::uint32_t s = 1; s < a.uvIds.size(); ++s) {
        const std::uint32_t* ids = face.numLayers > s ? face.layerUVIndices[s - 1] : nullptr;
        a.uvIds[s].append(ids ? bounded(ids[k], mesh.numUVs) : 0);
      }
    }
  }
  return a;
}

/// The face-vertex normals of the engine faces, for the host polygons made from them.
MStatus setNormals(const ZOV_DFmesh& mesh, MFnMesh& host, MStatus last) {
  if (mesh.numAuxPoints == 0 || !mesh.auxPoints) return last;
  MVectorArray normals;
  MIntArray faces;
  MIntArray vertices;
  const int polygons = std::min(static_cast<int>(mesh.numFaces), host.numPolygons());
  for (int p = 0; p < polygons; ++p) {
    const DFface& face = mesh.faces[p];
    MIntArray list;
    host.getPolygonVertices(p, list);
    const std::uint32_t corners = std::min(list.length(), face.numVertices);
    for (std::uint32_t k = 0; k < corners && face.cornerData; ++k) {
      const std::uint32_t n = face.cornerData[k];
      if (n >= mesh.numAuxPoints) continue;
      normals.append(toHost(mesh.auxPoints[n]));
      faces.append(p);
      vertices.append(list[k]);
    }
  }
  return normals.length() > 0 ? host.setFaceVertexNormals(normals, faces, vertices, MSpace::kObject) : last;
}

}  // namespace

MStatus engineMeshToMayaMesh(const ZOV_DFmesh& mesh, MFnMesh& host, const MStringArray& uvSetNames, MObject* parent) {
  const HostArrays a = hostArrays(mesh);
  const unsigned int points = a.points.length();
  const unsigned int polygons = a.counts.length();
  if (points < kMinPoints || (points == kMinPoints && polygons > kMinPoints)) return MS::kFailure;

  MStatus status;
  if (!parent) {
    status = host.createInPlace(static_cast<int>(points), static_cast<int>(polygons), a.points, a.counts, a.connects);
  } else {
    const MObject made = host.create(static_cast<int>(points), static_cast<int>(polygons), a.points, a.counts,
                                     a.connects, *parent, &status);
    if (status && parent->isNull()) *parent = made;
  }
  if (!status) return status;
  status = setNormals(mesh, host, status);

  const bool node = host.dagPath().isValid();
  const bool colourIds = (mesh.dfFlags & kDFmeshHasExtraPoints) != 0;
  if (a.colours.length() > 0 && host.currentColorSetName().length() == 0) {
    const MString set =
        node ? host.createColorSetWithName(kDefaultColorSet) : host.createColorSetWithNameDataMesh(kDefaultColorSet);
    status = host.setCurrentColorSetName(set);
    status = host.clearColors(&set);
    status = host.setColors(a.colours, &set);
    if (colourIds) status = host.assignColors(a.colourIds, &set);
  }
  const bool several = (mesh.dfFlags & kDFmeshMultipleUVLayers) != 0 && uvSetNames.length() > 1;
  std::vector<MString> sets;
  if (node && uvSetNames.length() > 0) {
    const MString current = host.currentUVSetName();
    if (current != uvSetNames[0]) status = host.renameUVSet(current, uvSetNames[0]);
    sets.push_back(uvSetNames[0]);
  } else {
    sets.push_back(host.currentUVSetName());
  }
  if (several)
    for (unsigned int i = 1; i < uvSetNames.length(); ++i)
      sets.push_back(node ? host.createUVSetWithName(uvSetNames[i]) : host.createUVSetDataMeshWithName(uvSetNames[i]));
  if (mesh.numUVs != 0) {
    status = host.clearUVs(&sets[0]);
    status = host.setUVs(a.u, a.v, &sets[0]);
    status = host.assignUVs(a.counts, a.uvIds[0], &sets[0]);
  }
  if (several)
    for (size_t i = 1; i < sets.size() && i < a.uvIds.size() && mesh.uvLayers[i - 1]; ++i) {
      MFloatArray u, v;
      for (std::uint32_t j = 0; j < mesh.numUVs; ++j) {
        u.append(static_cast<float>(mesh.uvLayers[i - 1][j].x));
        v.append(static_cast<float>(mesh.uvLayers[i - 1][j].y));
      }
      status = host.setUVs(u, v, &sets[i]);
      status = host.assignUVs(a.counts, a.uvIds[i], &sets[i]);
    }
  host.updateSurface();
  return status;
}

void setCutFaceBlindData(const ZOV_DFmesh& mesh, MFnMesh& host) {
  if (!host.isBlindDataTypeUsed(kCutFaceBlindDataId)) {
    MStringArray longNames, shortNames, formats;
    longNames.append(kCutFaceAttribute);
    shortNames.append(kCutFaceShortName);
    formats.append("int");
    host.createBlindDataType(kCutFaceBlindDataId, longNames, shortNames, formats);
  }
  const int polygons = std::min(host.numPolygons(), static_cast<int>(mesh.numFaces));
  const auto valueOf = [&mesh](int f) {
    const std::uint16_t flags = mesh.faces[f].faceFlags;
    return (flags & kCutFaceFlag) ? 1 : (flags & kSecondCutFaceFlag) ? 2 : 0;
  };
  if (!host.dagPath().isValid()) {
    for (int f = 0; f < polygons; ++f)
      host.setIntBlindData(f, MFn::kMeshPolygonComponent, kCutFaceBlindDataId, kCutFaceAttribute, valueOf(f));
    return;
  }
  const std::string name = host.fullPathName().asChar();
  std::string lists[3] = {"0 ", "1 ", "2 "};
  bool used[3] = {false, false, false};
  for (int f = 0; f < polygons; ++f) {
    const int value = valueOf(f);
    lists[value] += " " + quotedArgument(name + ".f[" + std::to_string(f) + "]");
    used[value] = true;
  }
  const std::string prefix = "polyBlindData -id " + std::to_string(kCutFaceBlindDataId) +
                             " -associationType \"face\" -ldn \"" + kCutFaceAttribute + "\" -ind ";
  for (int value = 0; value < 3; ++value)
    if (used[value]) MGlobal::executeCommand((prefix + lists[value]).c_str(), false, false);
}

bool findInMeshSource(const MObject& node) {
  MStatus status;
  const MPlug plug = MFnDependencyNode(node).findPlug("inMesh", &status);
  if (!status || plug.isNull()) return false;
  MPlugArray sources;
  plug.connectedTo(sources, true, false);
  for (unsigned int i = 0; i < sources.length(); ++i)
    if (sources[i].node().hasFn(MFn::kMeshCache)) return true;
  return false;
}
