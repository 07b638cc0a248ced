#pragma once

#include <maya/MFnAttribute.h>
#include <maya/MFnNumericData.h>
#include <zovhost/FunctionSetOf.h>

/// Function set for numeric attributes: bool, short, int, float, double, and
/// their two- and three-component compounds (whose children are numeric
/// attributes of the component kind).
class MFnNumericAttribute : public zovhost::FunctionSetOf<MFnAttribute, MFn::kNumericAttribute> {
 public:
  using FunctionSetOf::FunctionSetOf;

  /// A numeric attribute. For a multi-component kind the children are named
  /// fullName + "0", "1", ... (briefName likewise) and each gets defaultValue.
  MObject create(const MString& fullName, const MString& briefName, MFnNumericData::Type kind,
                 double defaultValue = 0.0, MStatus* status = nullptr);
  /// Three floats with children named fullName + "X", "Y", "Z".
  MObject createPoint(const MString& fullName, const MString& briefName, MStatus* status = nullptr);
  /// Three floats with children named fullName + "R", "G", "B".
  MObject createColor(const MString& fullName, const MString& briefName, MStatus* status = nullptr);
  /// A numeric compound of existing numeric (or distance and angle) attributes.
  MObject create(const MString& fullName, const MString& briefName, const MObject& child1, const MObject& child2,
                 const MObject& child3 = MObject::kNullObj, MStatus* status = nullptr);

  MFnNumericData::Type unitType(MStatus* status = nullptr) const;
  MObject child(unsigned int index, MStatus* status = nullptr) const;

  MStatus setDefault(bool value);
  MStatus setDefault(int value);
  MStatus setDefault(float value);
  MStatus setDefault(double value);
  MStatus setDefault(int a, int b);
  MStatus setDefault(float a, float b);
  MStatus setDefault(double a, double b);
  MStatus setDefault(int a, int b, int c);
  MStatus setDefault(float a, float b, float c);
  MStatus setDefault(double a, double b, double c);
  MStatus getDefault(double& value) const;

  /// Hard limits: values set through plugs are clamped to them.
  MStatus setMin(double value);
  MStatus setMax(double value);
  MStatus setMin(double a, double b, double c);
  MStatus setMax(double a, double b, double c);
  bool hasMin(MStatus* status = nullptr) const;
  bool hasMax(MStatus* status = nullptr) const;
  MStatus getMin(double& value) const;
  MStatus getMax(double& value) const;
  /// Soft limits only guide sliders; values are not clamped to them.
  MStatus setSoftMin(double value);
  MStatus setSoftMax(double value);
};
