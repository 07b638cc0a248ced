#include "src/shatter/cutMaterial.h"

#include <maya/MGlobal.h>
#include <maya/MIntArray.h>
#include <maya/MStringArray.h>

#include <string>

#include "src/meshes/cutFaceTags.h"
#include "src/userInput.h"

namespace {

MStatus run(const MString& line, MStringArray& result) { return MGlobal::executeCommand(line, result, false, false); }

}  // namespace

CutMaterial findOrCreateCutMaterial(const MString& name) {
  CutMaterial material{name, name + "SG"};
  MStringArray lamberts;
  run("ls -et lambert", lamberts);
  for (unsigned int i = 0; i < lamberts.length(); ++i) {
    if (lamberts[i] != name) continue;
    int tagged = 0;
    MGlobal::executeCommand("attributeQuery -node " + quotedArgument(name) + " -ex \"cutmat\"", tagged, false, false);
    if (tagged == 0) continue;
    MStringArray groups;
    run("listConnections -d on -s off " + quotedArgument(name + ".outColor"), groups);
    if (groups.length() > 0) material.shadingGroup = groups[0];
    return material;
  }
  MString made;
  // Without its shader nothing below has a node to act on: the tag would go
  // to whatever is selected.
  if (!MGlobal::executeCommand("shadingNode -asShader lambert -n " + quotedArgument(name), made, false, false))
    return material;
  material.shader = made;
  // The tag goes to the new shader, which the host leaves selected.
  MGlobal::executeCommand("addAttr -sn \"cm\" -ln \"cutmat\" -at \"message\" ", false, false);
  MString group;
  if (MGlobal::executeCommand(
          "sets -renderable true -noSurfaceShader true -empty -name " + quotedArgument(material.shader + "SG"), group,
          false, false))
    material.shadingGroup = group;
  else
    material.shadingGroup = material.shader + "SG";
  MGlobal::executeCommand("connectAttr -f " + quotedArgument(material.shader + ".outColor") + " " +
                              quotedArgument(material.shadingGroup + ".surfaceShader"),
                          false, false);
  MGlobal::executeCommand("setAttr " + quotedArgument(material.shader + ".color") + " 0 0.5 0", false, false);
  return material;
}

MString recordedCutMaterial(const MString& recordName, const MString& stored) {
  if (stored.length() == 0 || isValidNodeName(stored)) return stored;
  MGlobal::displayWarning(recordName + ": the cut material it names, " + quotedArgument(stored) +
                          ", is no node name: the cut faces get no cut material");
  return MString();
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
