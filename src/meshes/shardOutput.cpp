#include "src/meshes/shardOutput.h"

#include <maya/MFnDagNode.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MFnMesh.h>
#include <maya/MGlobal.h>
#include <maya/MSelectionList.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/MeshFactory.h"
#include "engine/shatter/ShatterMeshOps.h"
#include "src/meshes/cutFaceTags.h"
#include "src/meshes/engineMeshOutput.h"
#include "src/userInput.h"

namespace {

constexpr const char* kDefaultGroup = "initialShadingGroup";

void run(const std::string& line) { MGlobal::executeCommand(line.c_str(), false, false); }

/// A node's name as a command line argument.
std::string nameOf(const MObject& node) { return quotedArgument(std::string(MFnDependencyNode(node).name().asChar())); }

std::string face(const std::string& mesh, int index) {
  return " " + quotedArgument(mesh + ".f[" + std::to_string(index) + "]");
}

/// The cut-face value of a host polygon; 0 when it has none.
int cutFaceValue(const MFnMesh& mesh, int polygon) {
  int value = 0;
  if (!mesh.getIntBlindData(polygon, MFn::kMeshPolygonComponent, kCutFaceBlindDataId, kCutFaceAttribute, value))
    return 0;
  return value;
}

/// The set commands of one new mesh; setFlag is "-fe" or "-in".
void assignShading(const ZOV_DFmesh& piece, const MFnMesh& host, const std::string& mesh, const char* setFlag,
                   bool useCutMaterial, const MString& cutShadingGroup, const MObjectArray& shaders) {
  const std::string command = std::string("sets -e -nw ") + setFlag + " ";
  const int polygons = host.numPolygons();
  const unsigned int groups = shaders.length();
  // Per polygon, its group's index in shaders (from the engine face's byte).
  const auto shaderOf = [&piece, groups](int polygon) {
    return static_cast<unsigned int>(polygon) < piece.numFaces
               ? static_cast<unsigned int>(piece.faces[polygon].faceByte)
               : groups;
  };
  if (!useCutMaterial) {
    if (groups == 0) {
      run(command + kDefaultGroup + " " + quotedArgument(mesh));
    } else if (groups == 1) {
      std::string line = command + nameOf(shaders[0]);
      for (int p = 0; p < polygons; ++p) line += face(mesh, p);
      run(line);
    } else {
      for (int p = 0; p < polygons; ++p)
        if (shaderOf(p) < groups) run(command + nameOf(shaders[shaderOf(p)]) + face(mesh, p));
    }
    return;
  }
  std::string cut = command + quotedArgument(std::string(cutShadingGroup.asChar()));
  if (groups < 2) {
    std::string plain = command + (groups == 1 ? nameOf(shaders[0]) : std::string(kDefaultGroup));
    for (int p = 0; p < polygons; ++p) (cutFaceValue(host, p) < 1 ? plain : cut) += face(mesh, p);
    run(plain);
    run(cut);
    return;
  }
  for (int p = 0; p < polygons; ++p) {
    if (cutFaceValue(host, p) >= 1)
      cut += face(mesh, p);
    else if (shaderOf(p) < groups)
      run(command + nameOf(shaders[shaderOf(p)]) + face(mesh, p));
  }
  run(cut);
}

MStatus makeShard(const ZOV_DFmesh* piece, bool useCutMaterial, bool displayColours, const MString* baseName,
                  const MString& cutShadingGroup, const MObjectArray& shaders, const MStringArray& uvSetNames,
                  const MStringArray linkedTextures[kLinkedUVSets], MObject* parent) {
  MFnMesh host;
  const MStatus made = piece ? engineMeshToMayaMesh(*piece, host, uvSetNames, parent) : MStatus(MS::kInvalidParameter);
  if (!made) {
    MStatus(MS::kFailure).perror("Unable to create mesh");
    return MS::kFailure;
  }
  setCutFaceBlindData(*piece, host);
  if (baseName) host.setName(*baseName + "_shard" + MString(std::to_string(shardNumberOf(*piece)).c_str()));
  const std::string mesh = host.fullPathName().asChar();
  host.updateSurface();
  run("undoInfo -swf off");
  assignShading(*piece, host, mesh, baseName ? "-in" : "-fe", useCutMaterial, cutShadingGroup, shaders);
  if (uvSetNames.length() >= 2)
    for (unsigned int k = 0; k < kLinkedUVSets && k < uvSetNames.length(); ++k)
      for (unsigned int t = 0; t < linkedTextures[k].length(); ++t)
        run("uvLink -uvSet " + quotedArgument(mesh + ".uvSet[" + std::to_string(k) + "].uvSetName") + " -texture " +
            quotedArgument(std::string(linkedTextures[k][t].asChar())));
  host.syncObject();
  host.setDisplayColors(displayColours);
  run("undoInfo -swf on");
  const MObject transform = parent && !parent->isNull() ? *parent : host.parent(0);
  run("xform -cp " + quotedArgument(std::string(MFnDagNode(transform).fullPathName().asChar())));
  return made;
}

}  // namespace

std::uint32_t shardNumberOf(const ZOV_DFmesh& mesh) { return mesh.dfWord; }

MStatus createShardMeshes(const ZOV_DFmesh* mesh, bool useCutMaterial, bool displayColours,
                          const MString& cutShadingGroup, const MObjectArray& shaders, const MStringArray& uvSetNames,
                          const MStringArray linkedTextures[kLinkedUVSets], MObject* parent) {
  return makeShard(mesh, useCutMaterial, displayColours, nullptr, cutShadingGroup, shaders, uvSetNames, linkedTextures,
                   parent);
}

MStatus createShardMeshesInSets(const ZOV_DFmesh* mesh, bool useCutMaterial, bool displayColours,
                                const MString& baseName, const MString& cutShadingGroup, const MObjectArray& shaders,
                                const MStringArray& uvSetNames, const MStringArray linkedTextures[kLinkedUVSets],
                                MObject* parent) {
  return makeShard(mesh, useCutMaterial, displayColours, &baseName, cutShadingGroup, shaders, uvSetNames,
                   linkedTextures, parent);
}

MStatus createShardBatch(ZOV_DFmesh* mesh, bool useCutMaterial, bool displayColours, std::uint32_t shardNumber,
                         const MString& cutShadingGroup, const MObjectArray& shaders, const MStringArray& uvSetNames,
                         const MStringArray linkedTextures[kLinkedUVSets], MObjectArray& transforms,
                         MIntArray* shardNumbers) {
  if (!mesh) return MS::kFailure;
  // Only the low 16 bits fit in the engine record; the full number is the caller's.
  const auto makeOne = [&](ZOV_DFmesh* piece, std::uint32_t number) {
    piece->dfWord = static_cast<std::uint16_t>(number);
    MObject transform;
    const MStatus status = createShardMeshes(piece, useCutMaterial, displayColours, cutShadingGroup, shaders,
                                             uvSetNames, linkedTextures, &transform);
    if (status) {
      transforms.append(transform);
      if (shardNumbers) shardNumbers->append(static_cast<int>(number));
    }
    return status;
  };
  if (!isHullVolumeClose(mesh)) {
    ZOV_DFmesh** parts = nullptr;
    const std::int32_t count = splitDFmeshParts(mesh, &parts);
    if (count == 0) return MS::kFailure;
    // The parts are handed back whenever the mesh had several pieces, also
    // when folding flat pieces into their neighbours left one.
    std::vector<DFmeshPtr> owned;
    if (parts) {
      for (std::int32_t i = 0; i < count; ++i) owned.emplace_back(parts[i]);
      delete[] parts;
    }
    if (owned.size() >= 2) {
      MStatus result = MS::kFailure;
      for (size_t i = 0; i < owned.size(); ++i)
        result = makeOne(owned[i].get(), static_cast<std::uint32_t>(i) * kShardPartStride + shardNumber);
      return result;
    }
    if (owned.size() == 1) return makeOne(owned[0].get(), shardNumber);
    // One piece, or a split that failed: the piece goes out whole.
  }
  return makeOne(mesh, shardNumber);
}

bool getMeshShaders(const MDagPath& meshPath, MObjectArray& shaders, MIntArray& shaderIndices) {
  MFnMesh mesh(meshPath);
  mesh.getConnectedShaders(meshPath.instanceNumber(), shaders, shaderIndices);
  return shaders.length() > 0;
}

bool isShadingGroup(const MString& name) {
  MSelectionList named;
  MObject node;
  return named.add(name) && named.getDependNode(0, node) && node.hasFn(MFn::kShadingEngine);
}

MObjectArray shadingGroupsInScene(const MObjectArray& groups) {
  MSelectionList named;
  MObject fallback;
  if (named.add(kDefaultGroup)) named.getDependNode(0, fallback);
  MObjectArray kept = groups;
  for (unsigned int i = 0; i < kept.length(); ++i)
    if (!isShadingGroup(MFnDependencyNode(kept[i]).name())) kept[i] = fallback;
  return kept;
}

MStatus queryUVSetLinks(const MStringArray& uvSetNames, const MString& meshName,
                        MStringArray linkedTextures[kLinkedUVSets]) {
  if (uvSetNames.length() < 2) return MS::kSuccess;
  for (unsigned int k = 0; k < kLinkedUVSets; ++k)
    MGlobal::executeCommand(
        MString("uvLink -query -uvSet ") + meshName + ".uvSet[" + MString(std::to_string(k).c_str()) + "].uvSetName",
        linkedTextures[k], false, false);
  return MS::kSuccess;
}
