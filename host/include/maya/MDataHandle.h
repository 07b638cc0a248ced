#pragma once

#include <maya/MAngle.h>
#include <maya/MDistance.h>
#include <maya/MMatrix.h>
#include <maya/MObject.h>
#include <maya/MPlug.h>
#include <maya/MStatus.h>
#include <maya/MString.h>
#include <maya/MTime.h>

typedef float float2[2];
typedef float float3[3];
typedef double double2[2];
typedef double double3[3];

/// A handle to one plug's data inside a node's data block. Reading does not
/// evaluate (MDataBlock::inputValue did that); writing stores the value
/// without spreading dirtiness, as a compute does.
class MDataHandle {
 public:
  MDataHandle() = default;

  bool isNumeric() const;
  /// Numbers of numeric, unit and enum attributes.
  bool asBool() const;
  char asChar() const;
  short asShort() const;
  int asInt() const;
  long asLong() const { return asInt(); }
  float asFloat() const;
  double asDouble() const;
  /// The components of a two- or three-component numeric compound. The
  /// arrays live with the node's data (they stay valid after the handle is
  /// gone, until the next such read of the plug); write with set2Float,
  /// set3Float and the like.
  float2& asFloat2() const;
  float3& asFloat3() const;
  double2& asDouble2() const;
  double3& asDouble3() const;
  MString asString() const;
  MTime asTime() const;
  MDistance asDistance() const;
  MAngle asAngle() const;
  /// The data object of a typed attribute.
  MObject data() const;
  MObject asMesh() const { return data(); }
  const MMatrix& asMatrix() const;

  void set(bool value);
  void set(char value);
  void set(short value);
  void set(int value);
  void set(float value);
  void set(double value);
  void set(const MString& value);
  void set(const MObject& data);
  void set(const MTime& value);
  void set(const MDistance& value);
  void set(const MAngle& value);
  void set(const MMatrix& value);
  void set2Float(float a, float b);
  void set3Float(float a, float b, float c);
  void set2Double(double a, double b);
  void set3Double(double a, double b, double c);
  void setBool(bool value) { set(value); }
  void setShort(short value) { set(value); }
  void setInt(int value) { set(value); }
  void setFloat(float value) { set(value); }
  void setDouble(double value) { set(value); }
  void setString(const MString& value) { set(value); }
  void setMObject(const MObject& value) { set(value); }
  void setMTime(const MTime& value) { set(value); }

  /// Marks the handle's plug clean.
  void setClean();
  /// The handle of a compound's child.
  MDataHandle child(const MObject& attribute);
  MDataHandle child(const MPlug& plug) { return child(plug.attribute()); }

  // Host side: a handle on a plug position.
  explicit MDataHandle(const MPlug& plug) : m_plug(plug) {}
  const MPlug& plug() const { return m_plug; }

 private:
  void setNumber(double value);
  double number() const;
  double componentNumber(unsigned int index) const;
  void setComponents(const double* values, unsigned int count);
  float3& floatComponents() const;
  double3& doubleComponents() const;

  MPlug m_plug;
  // Used only by a handle without a plug.
  mutable float m_floats[3] = {0.0f, 0.0f, 0.0f};
  mutable double m_doubles[3] = {0.0, 0.0, 0.0};
};
