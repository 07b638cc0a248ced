#pragma once

#include <maya/MDagPath.h>
#include <maya/MFnNurbsCurve.h>
#include <maya/MIntArray.h>
#include <maya/MMatrix.h>
#include <maya/MObject.h>
#include <maya/MStatus.h>
#include <maya/MString.h>
#include <maya/MTime.h>
#include <maya/MVector.h>

#include <string>

#include "math/MgcVector3.h"

// Small host helpers of the shatter tools, the body-creation command and
// the cracker node.

/// The mesh a path's mesh comes from: the farthest mesh shape upstream of
/// its node in breadth-first order, or the path's own node when nothing
/// upstream is a mesh.
MDagPath findUpstreamNode(const MDagPath& path);

/// The text printTimeOnIdle prints: the label in double quotes (quotes and
/// backslashes in it escaped) followed by " h::m::s.ss". Seconds above 60
/// give whole minutes and minutes above 60 whole hours.
std::string elapsedTimeText(double seconds, const std::string& label);
/// With print set, has the host print elapsedTimeText when it is idle.
void printTimeOnIdle(double seconds, const MString& label, bool print);

/// `count` points spread evenly over the curve's knot domain, both ends
/// included (the start alone for count 1), each multiplied by the matrix.
/// False, writing nothing, when the domain is shorter than 1e-5.
bool curvePointAtParam(const MFnNurbsCurve& curve, Mgc::MgcVector3* points, int count, const MMatrix& matrix);

/// Adds a key to the animation curve that drives a node's attribute;
/// MS::kNotFound when no curve drives it.
MStatus addKeyToPlugCurve(const MObject& node, const MString& attribute, const MTime& time, double value);

/// The first position of a value in an array; -1 when absent.
int indexOfInt(int value, const MIntArray& array);

/// Splits a path at its last "/" into directory and name (the name keeps its
/// extension), and takes the extension as the text after the first "." of
/// the last path element. A path without "/" leaves directory and name as
/// they are; one without "." leaves the extension.
void splitFilePath(const MString& path, MString& directory, MString& name, MString& extension);
