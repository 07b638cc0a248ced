#include "src/bodySetup.h"

#include <maya/MGlobal.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "geometry/MassProperties.h"
#include "math/Tolerances.h"

bool isCentreUnset(const double centre[3]) {
  return centre[0] <= kUnsetCentre && centre[1] <= kUnsetCentre && centre[2] <= kUnsetCentre;
}

bool bodyMassOf(const ZOVmesh& mesh, bool fittedToHostScale, const MString& nodeName, bool warnEmpty,
                const char* negativePrefix, double& mass, Mgc::MgcVector3& centre) {
  centre = Mgc::MgcVector3();
  double volume = ComputeMassProperties(mesh, centre);
  if (!std::isfinite(volume)) {
    MGlobal::displayWarning("body " + nodeName + " has no finite volume: no body is made");
    return false;
  }
  if (fittedToHostScale) volume *= kUnitMassScale;
  if (volume < 0.0) {
    MGlobal::displayWarning(negativePrefix + nodeName + " mass negative");
    volume = -volume;
  } else if (volume == 0.0) {
    if (warnEmpty) MGlobal::displayWarning("body " + nodeName + " has no volume");
    centre = Mgc::MgcVector3();
    for (std::uint32_t i = 0; i < mesh.numVertices; ++i) centre += mesh.vertices[i];
    if (mesh.numVertices > 0) centre /= static_cast<double>(mesh.numVertices);
    volume = 1.0;
  }
  mass = volume;
  return true;
}

void nameBody(HardBody& body, const MString& nodeName) { body.getShape().setName(nodeName.asChar()); }

bool finiteAsFloat(double value) { return std::fabs(value) <= zov::kMaxFloat; }

bool finiteAsFloat(const MVector& value) {
  return finiteAsFloat(value.x) && finiteAsFloat(value.y) && finiteAsFloat(value.z);
}

MString numberText(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

MString vectorText(const MVector& value) {
  return "(" + numberText(value.x) + ", " + numberText(value.y) + ", " + numberText(value.z) + ")";
}
