#include "DagSupport.h"
#include "HostFixture.h"

#include <maya/M3dView.h>
#include <maya/MAnimUtil.h>
#include <maya/MFnAnimCurve.h>
#include <maya/MFnCamera.h>
#include <maya/MFnMesh.h>
#include <maya/MFnMeshData.h>
#include <maya/MFnNurbsCurve.h>
#include <maya/MFnTransform.h>
#include <maya/MItMeshVertex.h>

namespace {

using namespace dagtest;

MStringArray strings(std::initializer_list<const char*> values) {
  MStringArray result;
  for (const char* value : values) result.append(value);
  return result;
}

class HostApiEdges : public HostTest {};

TEST_F(HostApiEdges, BlindDataTypesCheckTheirNamesAndFormats) {
  MFnMesh fn;
  EXPECT_FALSE(fn.isBlindDataTypeUsed(1));
  EXPECT_FALSE(fn.createBlindDataType(1, strings({"a", "b"}), strings({"a"}), strings({"int", "int"})));
  EXPECT_FALSE(fn.createBlindDataType(1, strings({"a", "a"}), strings({"x", "y"}), strings({"int", "int"})));
  EXPECT_FALSE(fn.createBlindDataType(1, strings({"a b"}), strings({"a"}), strings({"int"})));
  EXPECT_FALSE(fn.createBlindDataType(1, MStringArray(), MStringArray(), MStringArray()));
  ASSERT_TRUE(fn.createBlindDataType(1, strings({"first", "second"}), strings({"f", "s"}), strings({"int", "int"})));
  EXPECT_FALSE(fn.createBlindDataType(1, strings({"third"}), strings({"t"}), strings({"int"})));
  EXPECT_TRUE(fn.isBlindDataTypeUsed(1));
  run("polyPlane -n sheet");
  run("disconnectAttr polyPlane1.output sheetShape.inMesh");
  MFnMesh sheet(path("sheet"));
  EXPECT_FALSE(sheet.hasBlindData(MFn::kMeshPolygonComponent));
  ASSERT_TRUE(sheet.setIntBlindData(3, MFn::kMeshPolygonComponent, 1, "s", -4));
  EXPECT_TRUE(sheet.hasBlindData(MFn::kMeshPolygonComponent));
  EXPECT_FALSE(sheet.hasBlindData(MFn::kMeshVertComponent));
  int value = 0;
  ASSERT_TRUE(sheet.getIntBlindData(3, MFn::kMeshPolygonComponent, 1, "second", value));
  EXPECT_EQ(value, -4);
  EXPECT_FALSE(sheet.getIntBlindData(3, MFn::kMeshPolygonComponent, 1, "first", value));
  EXPECT_FALSE(sheet.getIntBlindData(300, MFn::kMeshPolygonComponent, 1, "s", value));
  EXPECT_FALSE(sheet.setIntBlindData(0, MFn::kMeshVertComponent, 1, "s", 1));
  EXPECT_FALSE(sheet.setIntBlindData(0, MFn::kMeshPolygonComponent, 2, "s", 1));
}

TEST_F(HostApiEdges, UVAndColourQueriesFailClearlyOnSetsThatAreNotThere) {
  run("polyPlane -sx 1 -sy 1 -n sheet");
  MFnMesh sheet(path("sheet"));
  const MString missing("missing");
  MFloatArray u, v;
  EXPECT_FALSE(sheet.getUVs(u, v, &missing));
  MStatus status;
  EXPECT_EQ(sheet.numUVs(missing, &status), 0);
  EXPECT_FALSE(status);
  MColorArray colours;
  EXPECT_FALSE(sheet.getColors(colours));
  EXPECT_EQ(sheet.numColors(&status), 0);
  EXPECT_FALSE(status);
  int id = 0;
  EXPECT_FALSE(sheet.getColorIndex(0, 0, id));
  EXPECT_FALSE(sheet.setCurrentUVSetName(missing));
  EXPECT_FALSE(sheet.setCurrentColorSetName(missing));
  MIntArray counts, ids;
  ASSERT_TRUE(sheet.getAssignedUVs(counts, ids));
  EXPECT_EQ(counts[0], 4);
  EXPECT_EQ(ids.length(), 4u);
  EXPECT_TRUE(sheet.getPolygonUVid(0, 3, id));
  EXPECT_FALSE(sheet.getPolygonUVid(0, 4, id));
}

TEST_F(HostApiEdges, VertexIteratorsOnMeshDataHaveNoWorld) {
  MFnMeshData dataFn;
  const MObject data = dataFn.create();
  MPointArray points;
  for (const MPoint& p : {MPoint(0, 0, 0), MPoint(1, 0, 0), MPoint(0, 1, 0), MPoint(1, 1, 0)}) points.append(p);
  MIntArray counts, corners;
  for (int c : {3, 3}) counts.append(c);
  for (int c : {0, 1, 2, 1, 3, 2}) corners.append(c);
  MFnMesh().create(4, 2, points, counts, corners, data);
  MItMeshVertex vertex(data);
  int previous = -1;
  ASSERT_TRUE(vertex.setIndex(1, previous));
  EXPECT_EQ(previous, 0);
  int faces = 0;
  vertex.numConnectedFaces(faces);
  EXPECT_EQ(faces, 2);
  MIntArray neighbours;
  vertex.getConnectedVertices(neighbours);
  EXPECT_EQ(neighbours.length(), 3u);
  EXPECT_TRUE(vertex.position(MSpace::kObject).isEquivalent(MPoint(1, 0, 0)));
  EXPECT_FALSE(vertex.setIndex(4, previous));
  MStatus status;
  MItMeshVertex none(MObject(), &status);
  EXPECT_FALSE(status);
  EXPECT_TRUE(none.isDone());
}

TEST_F(HostApiEdges, CamerasCurvesAndCurvesFunctionSetsRefuseOtherNodes) {
  run("polyCube -n box");
  MStatus status;
  MFnCamera notCamera(path("box"), &status);
  EXPECT_FALSE(status);
  EXPECT_FALSE(M3dView::active3dView().setCamera(path("box")));
  run("camera -n eye");
  run("xform -t 0 0 5 eye");
  MFnCamera eye(path("eye"));
  EXPECT_TRUE(eye.eyePoint(MSpace::kWorld).isEquivalent(MPoint(0, 0, 5)));
  EXPECT_TRUE(eye.upDirection(MSpace::kWorld).isEquivalent(MVector::yAxis));

  MFnNurbsCurve notCurve(path("box"), &status);
  EXPECT_FALSE(status);
  MPointArray cvs;
  cvs.append(MPoint(0, 0, 0));
  cvs.append(MPoint(0, 2, 0));
  MDoubleArray knots;
  knots.append(0.0);
  knots.append(2.0);
  MFnNurbsCurve curve;
  EXPECT_TRUE(curve.create(cvs, knots, 3, MFnNurbsCurve::kOpen, false, false, MObject(), &status).isNull());
  EXPECT_FALSE(status);
  EXPECT_TRUE(curve.create(cvs, knots, 1, MFnNurbsCurve::kOpen, false, false, node("boxShape"), &status).isNull());
  const MObject made = curve.create(cvs, knots, 1, MFnNurbsCurve::kOpen, false, false, node("box"), &status);
  ASSERT_TRUE(status);
  EXPECT_TRUE(made.hasFn(MFn::kNurbsCurve));
  EXPECT_EQ(curve.degree(), 1);
  EXPECT_EQ(curve.numKnots(), 2);
  MPoint cv;
  EXPECT_TRUE(curve.getCV(1, cv));
  EXPECT_FALSE(curve.getCV(2, cv));

  MFnAnimCurve notAnimCurve(node("box"), &status);
  EXPECT_FALSE(status);
  EXPECT_FALSE(notAnimCurve.addKeyframe(MTime(), 1.0));
  EXPECT_FALSE(MAnimUtil::isAnimated(MPlug()));
  EXPECT_FALSE(MAnimUtil::isAnimated(MDagPath()));
  MFnAnimCurve flat;
  flat.create(plug("box", "visibility"));
  flat.addKeyframe(MTime(1.0), 1.0);
  flat.addKeyframe(MTime(2.0), 1.0);
  EXPECT_TRUE(flat.isStatic());
  EXPECT_EQ(flat.animCurveType(), MFnAnimCurve::kAnimCurveTU);
}

}  // namespace
