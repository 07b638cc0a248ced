#pragma once

#include <maya/MBoundingBox.h>
#include <maya/MDGModifier.h>
#include <maya/MDagPath.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MFnMesh.h>
#include <maya/MIntArray.h>
#include <maya/MObject.h>
#include <maya/MObjectArray.h>
#include <maya/MPlug.h>
#include <maya/MPoint.h>
#include <maya/MStatus.h>
#include <maya/MString.h>
#include <maya/MVector.h>

// Small services on host objects that nodes and commands share: units and
// time, the view, transforms, plugs, the scene's structure and meshes.

// --- Units and time ---------------------------------------------------------

/// Centimetres per user-interface length unit: the one conversion between
/// host lengths and engine lengths. Inch, foot, yard, mile and millimetre
/// are single-precision constants widened to double.
double getLinearUnitScale();
/// Frames per second of the user-interface time unit; 24 for units that are
/// not a whole frame rate (hours, seconds, the NTSC fractions, user-defined).
int getFramesPerSecond();
/// Splits seconds above 60 into minutes, and minutes above 60 into hours;
/// outputs that need no change are left as they are.
void splitElapsedTime(double& seconds, unsigned int& minutes, unsigned int& hours);

// --- View and transforms ----------------------------------------------------

/// The world direction the active view's camera looks in; zero (with a
/// failure) when the view has no camera.
MVector getActiveViewDirection(MStatus* status = nullptr);
/// Copies "translate" and "rotate" (through single precision) from source to
/// target; answers the status of finding the target's "rotate".
MStatus copyTranslateRotate(const MFnDependencyNode& source, MFnDependencyNode& target);
/// True when the scale of the transform (a mesh shape's transform for a
/// mesh path) is driven by animation.
bool isScaleAnimated(const MDagPath& path);

// --- Plugs and connections --------------------------------------------------

/// Disconnects everything connected to the plug (each element of an array
/// plug) through the modifier, each connection in its own direction. Answers
/// the first failure, else success.
MStatus disconnectAllConnections(const MPlug& plug, MDGModifier& modifier);

// --- Scene structure --------------------------------------------------------

/// The first child of a DAG node whose type is the host's own "rigidBody".
bool findMayaRigidBodyChild(const MObject& node, MObject& child);
/// The first child of a DAG node that is a simulated rigid body (zovRigidBody).
bool findChildOfType(const MObject& node, MObject& child);
/// The first mesh shape directly below a transform path; false without one.
bool firstMeshBelow(const MDagPath& transform, MDagPath& shape);
/// How many transforms directly below the path have a first mesh shape whose
/// box, moved by the transform path's exclusive matrix, meets the box.
int meshBoundsIntersect(const MDagPath& parent, const MBoundingBox& box);
/// The same count over transforms given as objects.
int anyMeshBoundsIntersect(const MObjectArray& objects, const MBoundingBox& box);

// --- Meshes -----------------------------------------------------------------

/// 1 when the mesh has a colour set holding colours, else 0.
int countColorSets(const MFnMesh& mesh);
/// The UV (in a UV set) of an object-space point lying on a face, from the
/// triangle of the given corner, the corner whose u differs most from it and
/// the corner that makes the widest triangle with them. False, leaving u and
/// v untouched, for a face that cannot be read, has fewer than 3 corners or
/// lacks UVs in the set.
bool faceUVAtPoint(const MPoint& point, int face, int faceVertex, const MFnMesh& mesh, const MString& uvSet, float& u,
                   float& v);
