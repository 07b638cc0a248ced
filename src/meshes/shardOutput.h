#pragma once

#include <maya/MDagPath.h>
#include <maya/MIntArray.h>
#include <maya/MObject.h>
#include <maya/MObjectArray.h>
#include <maya/MStatus.h>
#include <maya/MString.h>
#include <maya/MStringArray.h>

#include <cstdint>

#include "geometry/ZOV_DFmesh.h"

// Pieces of a shattered mesh into the scene as host meshes that look like
// their source: the source's shading groups per face (a face's `faceByte`
// is the index of its group in `shaders`, 255 for none), a separate group
// for cut faces when asked, the source's UV-set-to-texture links, the
// cut-face tags, and a pivot centred on the piece. Every scene edit besides
// the mesh itself is a host command naming the new mesh by its full path;
// the shading, linking and display edits stay out of the undo queue.

/// Textures linked to each of the first eight UV sets of a source mesh.
constexpr unsigned int kLinkedUVSets = 8;
/// Shard numbers of the parts of a split piece: part i gets i x this + the number.
constexpr std::uint32_t kShardPartStride = 10000;

/// Makes the host mesh of one piece (see engineMeshToMayaMesh for `parent`,
/// through which callers with a null object get the new transform back).
/// With `useCutMaterial`, faces whose cut-face value is 1 or more go to
/// `cutShadingGroup`. Fails, with "Unable to create mesh" on the error
/// stream, when the mesh cannot be made; nothing else is done then.
MStatus createShardMeshes(const ZOV_DFmesh* mesh, bool useCutMaterial, bool displayColours,
                          const MString& cutShadingGroup, const MObjectArray& shaders, const MStringArray& uvSetNames,
                          const MStringArray linkedTextures[kLinkedUVSets], MObject* parent);

/// createShardMeshes that names the new mesh node baseName + "_shard" + the
/// piece's shard number and includes the faces in the groups ("sets -in")
/// instead of forcing them.
MStatus createShardMeshesInSets(const ZOV_DFmesh* mesh, bool useCutMaterial, bool displayColours,
                                const MString& baseName, const MString& cutShadingGroup, const MObjectArray& shaders,
                                const MStringArray& uvSetNames, const MStringArray linkedTextures[kLinkedUVSets],
                                MObject* parent);

/// Makes the host meshes of a piece. A piece that does not fill its convex
/// hull closely is split into its connected parts first: part i gets shard
/// number i x kShardPartStride + shardNumber. A piece that cannot be split
/// is made whole. Appends each new transform to `transforms` and, when
/// given, its shard number to `shardNumbers`. Fails when nothing was made;
/// otherwise answers the status of the last mesh.
MStatus createShardBatch(ZOV_DFmesh* mesh, bool useCutMaterial, bool displayColours, std::uint32_t shardNumber,
                         const MString& cutShadingGroup, const MObjectArray& shaders, const MStringArray& uvSetNames,
                         const MStringArray linkedTextures[kLinkedUVSets], MObjectArray& transforms,
                         MIntArray* shardNumbers = nullptr);

/// The shading groups of a mesh and, per polygon, the index of its group
/// (-1 for none); true when the mesh has at least one group.
bool getMeshShaders(const MDagPath& meshPath, MObjectArray& shaders, MIntArray& shaderIndices);
/// Whether the scene holds a shading group of the name.
bool isShadingGroup(const MString& name);
/// The shading groups, each that the scene no longer holds (deleted since
/// it was read) replaced by the default group, which then shades its faces.
MObjectArray shadingGroupsInScene(const MObjectArray& groups);

/// With two or more UV set names, the textures linked to UV sets 0 to 7 of
/// the named mesh, one entry each; otherwise nothing. Always succeeds.
MStatus queryUVSetLinks(const MStringArray& uvSetNames, const MString& meshName,
                        MStringArray linkedTextures[kLinkedUVSets]);

/// The shard number a piece carries (the engine record's 16-bit word).
std::uint32_t shardNumberOf(const ZOV_DFmesh& mesh);
