#include "TestNodes.h"

#include <maya/MFnCompoundAttribute.h>
#include <maya/MFnMesh.h>
#include <maya/MFnMessageAttribute.h>
#include <maya/MFnNumericAttribute.h>
#include <maya/MFnPlugin.h>
#include <maya/MFnStringData.h>
#include <maya/MFnTypedAttribute.h>
#include <maya/MFnUnitAttribute.h>

#include "testing/HostTesting.h"

MTypeId DoublerNode::id(0x7F100);
MObject DoublerNode::input;
MObject DoublerNode::output;
MObject DoublerNode::middle;
MObject DoublerNode::follow;
MObject DoublerNode::memory;
MObject DoublerNode::time;
MObject DoublerNode::point;
MObject DoublerNode::nudge;
MObject DoublerNode::nudgeY;
MObject DoublerNode::items;
MObject DoublerNode::label;

MTypeId TestLocator::id(0x7F101);
MObject TestLocator::size;

MTypeId MeshReader::id(0x7F102);
MObject MeshReader::inMesh;
MObject MeshReader::sumX;

MStatus DoublerNode::initialize() {
  MFnNumericAttribute numeric;
  input = numeric.create("input", "in", MFnNumericData::kDouble, 1.0);
  numeric.setKeyable(true);
  output = numeric.create("output", "out", MFnNumericData::kDouble, 0.0);
  numeric.setWritable(false);
  numeric.setStorable(false);
  middle = numeric.create("middle", "mid", MFnNumericData::kDouble, 0.0);
  numeric.setStorable(false);
  follow = numeric.create("follow", "fol", MFnNumericData::kDouble, 0.0);
  numeric.setStorable(false);
  memory = numeric.create("memory", "mem", MFnNumericData::kInt, 0);
  point = numeric.createPoint("point", "pt");
  numeric.setDefault(1.0f, 2.0f, 3.0f);
  const MObject nudgeX = numeric.create("nudgeX", "ndx", MFnNumericData::kDouble, 0.0);
  nudgeY = numeric.create("nudgeY", "ndy", MFnNumericData::kDouble, 0.0);
  const MObject nudgeZ = numeric.create("nudgeZ", "ndz", MFnNumericData::kDouble, 0.0);
  nudge = numeric.create("nudge", "ndg", nudgeX, nudgeY, nudgeZ);
  MFnUnitAttribute unit;
  time = unit.create("time", "tm", MFnUnitAttribute::kTime, 0.0);
  MFnMessageAttribute message;
  items = message.create("items", "its");
  message.setArray(true);
  MFnStringData text;
  MFnTypedAttribute typed;
  label = typed.create("label", "lb", MFnData::kString, text.create("none"));

  for (MObject* attribute : {&input, &output, &middle, &follow, &memory, &point, &nudge, &time, &items, &label})
    addAttribute(*attribute);
  attributeAffects(input, output);
  attributeAffects(point, output);
  attributeAffects(nudgeY, output);
  attributeAffects(time, output);
  attributeAffects(input, middle);
  attributeAffects(middle, follow);
  return MS::kSuccess;
}

MStatus DoublerNode::compute(const MPlug& plug, MDataBlock& block) {
  if (plug == output) {
    ++outputComputes;
    if (readOwnOutput) MPlug(thisMObject(), output).asDouble();
    const double value = block.inputValue(input).asDouble() * 2.0 + block.inputValue(time).asTime().value() +
                         block.inputValue(nudgeY).asDouble();
    block.outputValue(output).set(value);
    block.outputValue(memory).set(outputComputes);
    block.setClean(plug);
    return MS::kSuccess;
  }
  if (plug == middle) {
    ++middleComputes;
    block.outputValue(middle).set(block.inputValue(input).asDouble() + 1.0);
    block.setClean(plug);
    return MS::kSuccess;
  }
  if (plug == follow) {
    ++followComputes;
    block.outputValue(follow).set(block.inputValue(middle).asDouble());
    block.setClean(plug);
    return MS::kSuccess;
  }
  return MS::kUnknownParameter;
}

MStatus DoublerNode::setDependentsDirty(const MPlug& plug, MPlugArray& affected) {
  dirtied.push_back(plug.partialName(false, false, false, false, false, true).asChar());
  return MPxNode::setDependentsDirty(plug, affected);
}

MStatus TestLocator::initialize() {
  MFnNumericAttribute numeric;
  size = numeric.create("size", "sz", MFnNumericData::kDouble, 1.0);
  return addAttribute(size);
}

MStatus MeshReader::initialize() {
  MFnTypedAttribute typed;
  inMesh = typed.create("inMesh", "im", MFnData::kMesh);
  MFnNumericAttribute numeric;
  sumX = numeric.create("sumX", "sx", MFnNumericData::kDouble, 0.0);
  numeric.setWritable(false);
  addAttribute(inMesh);
  addAttribute(sumX);
  return attributeAffects(inMesh, sumX);
}

MStatus MeshReader::compute(const MPlug& plug, MDataBlock& block) {
  if (plug != sumX) return MS::kUnknownParameter;
  ++computes;
  MPointArray points;
  MFnMesh(block.inputValue(inMesh).asMesh()).getPoints(points, MSpace::kWorld);
  double sum = 0.0;
  for (unsigned int i = 0; i < points.length(); ++i) sum += points[i].x;
  block.outputValue(sumX).set(sum);
  block.setClean(plug);
  return MS::kSuccess;
}

void registerTestNodes() {
  MFnPlugin plugin(zovhost::testing::pluginObject(), "Tests", "1.0");
  plugin.registerNode("doubler", DoublerNode::id, DoublerNode::creator, DoublerNode::initialize);
  plugin.registerNode("testLocator", TestLocator::id, TestLocator::creator, TestLocator::initialize,
                      MPxNode::kLocatorNode);
  plugin.registerNode("meshReader", MeshReader::id, MeshReader::creator, MeshReader::initialize);
}
