#include "src/shatter/cutMaterial.h"

#include <maya/MGlobal.h>
#include <maya/MIntArray.h>
#include <maya/MStringArray.h>

#include <string>

#include "src/meshes/cutFaceTags.h"
#include "src/meshes/shardOutput.h"
#include "src/userInput.h"

namespace {

MStatus run(const MString& line, MStringArray& result) { return MGlobal::executeCommand(line, result, false, false); }

/// A new shading group that the shader's outColor feeds: the name the host
/// gives it (the shader's name + "SG" when the host gives none).
MString makeCutShadingGroup(const MString& shader) {
  MString group;
  if (!MGlobal::executeCommand(
          "sets -renderable true -noSurfaceShader true -empty -name " + quotedArgument(shader + "SG"), group, false,
          false))
    group = shader + "SG";
  MGlobal::executeCommand(
      "connectAttr -f " + quotedArgument(shader + ".outColor") + " " + quotedArgument(group + ".surfaceShader"), false,
      false);
  return group;
}

}  // namespace

CutMaterial findCutMaterial(const MString& name) {
  CutMaterial material{MString(), isShadingGroup(name + "SG") ? name + "SG" : MString()};
  MStringArray lamberts;
  run("ls -et lambert", lamberts);
  for (unsigned int i = 0; i < lamberts.length(); ++i) {
    if (lamberts[i] != name) continue;
    int tagged = 0;
    MGlobal::executeCommand("attributeQuery -node " + quotedArgument(name) + " -ex \"cutmat\"", tagged, false, false);
    if (tagged == 0) continue;
    material.shader = name;
    // The group is known by the connection, not by its name, which the
    // user may have changed since the material was made.
    MStringArray fed;
    run("listConnections -d on -s off " + quotedArgument(name + ".outColor"), fed);
    for (unsigned int k = 0; k < fed.length(); ++k)
      if (isShadingGroup(fed[k])) {
        material.shadingGroup = fed[k];
        break;
      }
    break;
  }
  return material;
}

CutMaterial findOrCreateCutMaterial(const MString& name) {
  CutMaterial material = findCutMaterial(name);
  if (material.shader.length() > 0) {
    // Its group was deleted: cut faces put in a group that is not there
    // would make the host refuse every shard's assignment.
    if (material.shadingGroup.length() == 0) material.shadingGroup = makeCutShadingGroup(name);
    return material;
  }
  material = CutMaterial{name, name + "SG"};
  MString made;
  // Without its shader nothing below has a node to act on: the tag would go
  // to whatever is selected.
  if (!MGlobal::executeCommand("shadingNode -asShader lambert -n " + quotedArgument(name), made, false, false))
    return material;
  material.shader = made;
  // The tag goes to the new shader, which the host leaves selected.
  MGlobal::executeCommand("addAttr -sn \"cm\" -ln \"cutmat\" -at \"message\" ", false, false);
  material.shadingGroup = makeCutShadingGroup(material.shader);
  MGlobal::executeCommand("setAttr " + quotedArgument(material.shader + ".color") + " 0 0.5 0", false, false);
  return material;
}

CutMaterial recordedCutMaterial(const MString& recordName, const MString& stored) {
  if (stored.length() == 0) return CutMaterial();
  // The cut faces go to the material's group: one that is gone (deleted
  // with its material, say) would make the host refuse every shard's faces.
  const MString shadingGroup = isValidNodeName(stored) ? findCutMaterial(stored).shadingGroup : MString();
  if (shadingGroup.length() > 0) return CutMaterial{stored, shadingGroup};
  const MString why = !isValidNodeName(stored)
                          ? MString("is no node name")
                          : "has no shading group " + quotedArgument(stored + "SG") + " in the scene";
  MGlobal::displayWarning(recordName + ": the cut material it names, " + quotedArgument(stored) + ", " + why +
                          ": the cut faces get no cut material");
  return CutMaterial();
}

void ensureCutFaceType() {
  const std::string id = std::to_string(kCutFaceBlindDataId);
  MIntArray ids;
  MGlobal::executeCommand(("blindDataType -q -id " + id).c_str(), ids, false, false);
  if (ids.length() > 0 && ids[0] == kCutFaceBlindDataId) return;
  MGlobal::executeCommand(("blindDataType -id " + id + " -dataType \"int\" -longDataName \"" + kCutFaceAttribute +
                           "\" -shortDataName \"" + kCutFaceShortName + "\"")
                              .c_str(),
                          false, false);
}
