#include "HostFixture.h"

#include <maya/MAngle.h>
#include <maya/MDistance.h>
#include <maya/MDoubleArray.h>
#include <maya/MEventMessage.h>
#include <maya/MFnMatrixData.h>
#include <maya/MFnNumericData.h>
#include <maya/MFnStringData.h>
#include <maya/MIntArray.h>
#include <maya/MMatrix.h>
#include <maya/MObjectArray.h>
#include <maya/MStatus.h>
#include <maya/MString.h>
#include <maya/MStringArray.h>
#include <maya/MTime.h>
#include <maya/MTimeArray.h>

#include <cmath>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

using CoreValues = HostTest;

std::vector<std::string> texts(const MStringArray& array) {
  std::vector<std::string> result;
  for (unsigned int i = 0; i < array.length(); ++i) result.push_back(array[i].asChar());
  return result;
}

TEST_F(CoreValues, SubstringsTakeInclusiveRangesClippedToTheString) {
  const MString text("rigidBody");
  struct Case {
    int start, end;
    const char* expected;
  };
  const Case cases[] = {
      {0, 4, "rigid"}, {5, 8, "Body"}, {5, 100, "Body"}, {-3, 1, "ri"}, {4, 3, ""}, {20, 30, ""}, {8, 8, "y"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(text.substring(c.start, c.end), MString(c.expected)) << c.start << ".." << c.end;
  EXPECT_EQ(text.substringW(0, 0), MString("r"));
  EXPECT_EQ(text.index('i'), 1);
  EXPECT_EQ(text.rindex('i'), 3);
  EXPECT_EQ(text.index('z'), -1);
  EXPECT_EQ(text.indexW("Body"), 5);
  EXPECT_EQ(text.indexW("body"), -1);
  EXPECT_EQ(text.length(), 9u);
  EXPECT_EQ(text.numChars(), 9u);
}

TEST_F(CoreValues, StringsReadAndWriteNumbers) {
  struct Case {
    const char* text;
    bool isInt, isDouble;
    int asInt;
    double asDouble;
  };
  const Case cases[] = {
      {"42", true, true, 42, 42.0},    {"-7", true, true, -7, -7.0},     {"2.5", false, true, 2, 2.5},
      {"1e3", false, true, 1, 1000.0}, {"12ab", false, false, 12, 12.0}, {"", false, false, 0, 0.0},
      {"abc", false, false, 0, 0.0},
  };
  for (const Case& c : cases) {
    const MString text(c.text);
    EXPECT_EQ(text.isInt(), c.isInt) << c.text;
    EXPECT_EQ(text.isDouble(), c.isDouble) << c.text;
    EXPECT_EQ(text.isFloat(), c.isDouble) << c.text;
    EXPECT_EQ(text.asInt(), c.asInt) << c.text;
    EXPECT_DOUBLE_EQ(text.asDouble(), c.asDouble) << c.text;
  }
  MString built("n=");
  built += 3;
  built += ' ';
  built += 2u;
  built += " x=";
  built += 0.125;
  built += 1.0f / 3.0f;
  EXPECT_EQ(built, MString("n=3 2 x=0.1250.333333"));
  EXPECT_EQ(MString("a") + 1 + MString("b") + 2.5 + "c" + 7u, MString("a1b2.5c7"));
  EXPECT_EQ("pre" + MString("fix"), MString("prefix"));
  MString number;
  EXPECT_EQ(number.set(kPi, 3), MString("3.14"));
  EXPECT_EQ(number.set(1234567.0), MString("1.23457e+06"));
}

TEST_F(CoreValues, StringsSplitAndChangeCase) {
  MStringArray pieces;
  MString("|group1||pCube1|pCubeShape1").split('|', pieces);
  EXPECT_EQ(texts(pieces), (std::vector<std::string>{"group1", "pCube1", "pCubeShape1"}));
  MString("").split(',', pieces);
  EXPECT_EQ(pieces.length(), 0u);
  MString("one").split(',', pieces);
  EXPECT_EQ(texts(pieces), std::vector<std::string>{"one"});
  EXPECT_EQ(MString("Zov Body 3").toLowerCase(), MString("zov body 3"));
  EXPECT_EQ(MString("Zov Body 3").toUpperCase(), MString("ZOV BODY 3"));
  EXPECT_TRUE(MString("abc") < MString("abd"));
  EXPECT_TRUE(MString("abc") != "abd");
  EXPECT_TRUE(MString(nullptr) == "");
}

TEST_F(CoreValues, AStringFromABufferStopsAtItsLengthOrItsEnd) {
  const char buffer[] = "shard";
  struct Case {
    int length;
    const char* expected;
  };
  for (const Case& c : {Case{3, "sha"}, Case{5, "shard"}, Case{50, "shard"}, Case{0, ""}, Case{-2, ""}})
    EXPECT_EQ(MString(buffer, c.length), MString(c.expected)) << c.length;
  EXPECT_EQ(MString(nullptr, 4), MString());
}

TEST_F(CoreValues, ArraysRefuseIndicesOutsideThemAndChangeNothing) {
  MStringArray strings(2, "x");
  EXPECT_TRUE(strings.insert("first", 0));
  EXPECT_TRUE(strings.insert("last", 3));
  EXPECT_FALSE(strings.insert("beyond", 5));
  EXPECT_TRUE(strings.set("middle", 1));
  EXPECT_FALSE(strings.set("beyond", 4));
  EXPECT_EQ(texts(strings), (std::vector<std::string>{"first", "middle", "x", "last"}));
  EXPECT_EQ(strings.indexOf("x"), 2);
  EXPECT_EQ(strings.indexOf("y"), -1);
  EXPECT_TRUE(strings.remove(0));
  EXPECT_FALSE(strings.remove(3));
  EXPECT_EQ(texts(strings), (std::vector<std::string>{"middle", "x", "last"}));

  MIntArray ints(3, 7);
  EXPECT_FALSE(ints.remove(3));
  EXPECT_TRUE(ints.remove(1));
  EXPECT_EQ(ints.length(), 2u);
  MDoubleArray doubles;
  doubles.append(0.5);
  EXPECT_FALSE(doubles.remove(1));
  EXPECT_TRUE(doubles.remove(0));
  EXPECT_EQ(doubles.length(), 0u);
  MTimeArray times(2, MTime(3.0));
  EXPECT_FALSE(times.remove(2));
  EXPECT_TRUE(times.remove(0));
  EXPECT_EQ(times.length(), 1u);
  EXPECT_EQ(times[0], MTime(3.0));
  MObjectArray objects;
  objects.setLength(2);
  EXPECT_FALSE(objects.remove(2));
  EXPECT_TRUE(objects.remove(1));
  EXPECT_EQ(objects.length(), 1u);
}

TEST_F(CoreValues, StatusesNameTheirCodes) {
  const std::map<MS::MStatusCode, const char*> names = {
      {MS::kSuccess, "Success"},
      {MS::kFailure, "Failure"},
      {MS::kInsufficientMemory, "Insufficient memory"},
      {MS::kInvalidParameter, "Invalid parameter"},
      {MS::kLicenseFailure, "License failure"},
      {MS::kUnknownParameter, "Unknown parameter"},
      {MS::kNotImplemented, "Not implemented"},
      {MS::kNotFound, "Not found"},
      {MS::kEndOfFile, "End of file"},
  };
  for (const auto& [code, name] : names) {
    const MStatus status(code);
    EXPECT_EQ(status.errorString(), MString(name));
    EXPECT_EQ(status.statusCode(), code);
    EXPECT_EQ(static_cast<bool>(status), code == MS::kSuccess);
    EXPECT_EQ(status.error(), code != MS::kSuccess);
  }
  MStatus status(MS::kNotFound);
  ::testing::internal::CaptureStderr();
  status.perror("finding the body");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "finding the body: Not found\n");
  status.clear();
  EXPECT_TRUE(status == MStatus::kSuccess);
}

TEST_F(CoreValues, NumericDataHoldsTheComponentsOfItsKind) {
  struct Case {
    MFnNumericData::Type kind;
    unsigned int components;
  };
  const Case cases[] = {
      {MFnNumericData::k2Int, 2},    {MFnNumericData::k2Float, 2}, {MFnNumericData::k2Double, 2},
      {MFnNumericData::k3Short, 3},  {MFnNumericData::k3Float, 3}, {MFnNumericData::k3Double, 3},
      {MFnNumericData::k4Double, 4}, {MFnNumericData::kDouble, 0}, {MFnNumericData::kBoolean, 0},
      {MFnNumericData::kInvalid, 0},
  };
  for (const Case& c : cases) {
    MFnNumericData fn;
    MStatus status;
    const MObject data = fn.create(c.kind, &status);
    EXPECT_EQ(static_cast<bool>(status), c.components > 0) << c.kind;
    if (c.components == 0) {
      EXPECT_TRUE(data.isNull()) << c.kind;
      continue;
    }
    EXPECT_EQ(fn.numericType(), c.kind);
    EXPECT_TRUE(data.hasFn(MFn::kNumericData) && data.hasFn(MFn::kData));
    double a = -1.0, b = -1.0, x = -1.0, d = -1.0;
    // Only the reads and writes with the kind's number of components succeed.
    EXPECT_EQ(static_cast<bool>(fn.getData(a, b)), c.components == 2) << c.kind;
    EXPECT_EQ(static_cast<bool>(fn.getData(a, b, x)), c.components == 3) << c.kind;
    EXPECT_EQ(static_cast<bool>(fn.getData(a, b, x, d)), c.components == 4) << c.kind;
    EXPECT_EQ(static_cast<bool>(fn.setData(1.0, 2.0, 3.0)), c.components == 3) << c.kind;
  }
  MFnNumericData fn;
  fn.create(MFnNumericData::k3Float);
  ASSERT_TRUE(fn.setData(1.75, -2.5, 0.1));
  int i0 = 0, i1 = 0, i2 = 0;
  ASSERT_TRUE(fn.getData(i0, i1, i2));
  EXPECT_EQ(std::vector<int>({i0, i1, i2}), std::vector<int>({1, -2, 0}));  // towards zero
  float f0 = 0.0f, f1 = 0.0f, f2 = 0.0f;
  ASSERT_TRUE(fn.getData(f0, f1, f2));
  EXPECT_FLOAT_EQ(f2, 0.1f);
  ASSERT_TRUE(fn.setData(4, 5, 6));
  double d0 = 0.0, d1 = 0.0, d2 = 0.0;
  ASSERT_TRUE(fn.getData(d0, d1, d2));
  EXPECT_DOUBLE_EQ(d0 + d1 + d2, 15.0);
  fn.create(MFnNumericData::k2Float);
  ASSERT_TRUE(fn.setData(0.5f, 0.25f));
  float g0 = 0.0f, g1 = 0.0f;
  ASSERT_TRUE(fn.getData(g0, g1));
  EXPECT_FLOAT_EQ(g0 / g1, 2.0f);
}

TEST_F(CoreValues, StringAndMatrixDataHoldTheirValuesAndRefuseOtherObjects) {
  MFnStringData strings;
  const MObject text = strings.create("first");
  ASSERT_TRUE(strings.set("second"));
  EXPECT_EQ(MFnStringData(text).string(), MString("second"));
  MMatrix moved;
  moved[3][1] = -2.0;
  MFnMatrixData matrices;
  const MObject matrix = matrices.create(moved);
  EXPECT_TRUE(MFnMatrixData(matrix).matrix() == moved);
  ASSERT_TRUE(matrices.set(MMatrix::identity));
  EXPECT_TRUE(MFnMatrixData(matrix).matrix() == MMatrix::identity);

  MStatus status;
  MFnStringData wrong(matrix, &status);
  EXPECT_FALSE(status);
  EXPECT_FALSE(wrong.set("nothing"));
  EXPECT_EQ(wrong.string(&status), MString());
  EXPECT_FALSE(status);
  MFnMatrixData alsoWrong(text, &status);
  EXPECT_FALSE(status);
  EXPECT_TRUE(alsoWrong.matrix(&status) == MMatrix::identity);
  EXPECT_FALSE(status);
  MFnNumericData none(MObject(), &status);
  EXPECT_FALSE(status);
  EXPECT_EQ(none.numericType(&status), MFnNumericData::kInvalid);
  EXPECT_FALSE(status);
  EXPECT_EQ(MObject().apiType(), MFn::kInvalid);
  EXPECT_FALSE(MObject().hasFn(MFn::kBase));
  EXPECT_TRUE(text.hasFn(MFn::kBase));
}

TEST_F(CoreValues, DistancesAndAnglesConvertBetweenUnits) {
  struct Length {
    double value;
    MDistance::Unit from, to;
    double expected;
  };
  const Length lengths[] = {
      {1.0, MDistance::kFeet, MDistance::kInches, 12.0},
      {1.0, MDistance::kYards, MDistance::kFeet, 3.0},
      {1.0, MDistance::kMiles, MDistance::kYards, 1760.0},
      {1.0, MDistance::kKilometers, MDistance::kMeters, 1000.0},
      {2.54, MDistance::kCentimeters, MDistance::kInches, 1.0},
      {1.0, MDistance::kMeters, MDistance::kMillimeters, 1000.0},
  };
  for (const Length& c : lengths)
    EXPECT_NEAR(MDistance(c.value, c.from).as(c.to), c.expected, 1e-12 * c.expected) << c.from << "->" << c.to;
  EXPECT_DOUBLE_EQ(MDistance(2.0, MDistance::kMeters).asMeters(), 2.0);
  EXPECT_DOUBLE_EQ(MDistance(1.0, MDistance::kFeet).asInches(), 12.0);

  struct Turn {
    double value;
    MAngle::Unit from, to;
    double expected;
  };
  const Turn turns[] = {
      {180.0, MAngle::kDegrees, MAngle::kRadians, kPi},
      {1.0, MAngle::kDegrees, MAngle::kAngMinutes, 60.0},
      {1.0, MAngle::kAngMinutes, MAngle::kAngSeconds, 60.0},
      {kPi / 2.0, MAngle::kRadians, MAngle::kDegrees, 90.0},
  };
  for (const Turn& c : turns) EXPECT_DOUBLE_EQ(MAngle(c.value, c.from).as(c.to), c.expected);
  EXPECT_DOUBLE_EQ(MAngle(kPi, MAngle::kRadians).asDegrees(), 180.0);
  // Frame rates of the drop-frame and fractional kinds.
  EXPECT_DOUBLE_EQ(MTime(1001.0, MTime::k29_97FPS).as(MTime::kSeconds), 1001.0 * 1001.0 / 30000.0);
  EXPECT_DOUBLE_EQ(MTime(24000.0, MTime::k23_976FPS).as(MTime::kSeconds), 1001.0);
}

TEST_F(CoreValues, UserInterfaceUnitsRefuseInvalidUnitsAndAnnounceRealChanges) {
  std::map<std::string, int> raised;
  const auto count = [](void* data) { ++*static_cast<int*>(data); };
  for (const char* event : {"linearUnitChanged", "angularUnitChanged", "timeUnitChanged"})
    MEventMessage::addEventCallback(event, count, &raised[event]);
  EXPECT_EQ(MDistance::setUIUnit(MDistance::kInvalid), MStatus(MS::kInvalidParameter));
  EXPECT_EQ(MAngle::setUIUnit(MAngle::kLast), MStatus(MS::kInvalidParameter));
  EXPECT_EQ(MTime::setUIUnit(MTime::kInvalid), MStatus(MS::kInvalidParameter));
  EXPECT_EQ(MDistance::uiUnit(), MDistance::kCentimeters);
  EXPECT_EQ(MAngle::uiUnit(), MAngle::kDegrees);
  EXPECT_EQ(MTime::uiUnit(), MTime::kFilm);

  ASSERT_TRUE(MDistance::setUIUnit(MDistance::kMeters));
  ASSERT_TRUE(MDistance::setUIUnit(MDistance::kMeters));  // no change, no event
  ASSERT_TRUE(MAngle::setUIUnit(MAngle::kRadians));
  ASSERT_TRUE(MTime::setUIUnit(MTime::kPALFrame));
  EXPECT_EQ(raised["linearUnitChanged"], 1);
  EXPECT_EQ(raised["angularUnitChanged"], 1);
  EXPECT_EQ(raised["timeUnitChanged"], 1);
  EXPECT_DOUBLE_EQ(MDistance::internalToUI(250.0), 2.5);
  EXPECT_DOUBLE_EQ(MDistance::uiToInternal(2.5), 250.0);
  EXPECT_DOUBLE_EQ(MAngle::internalToUI(1.0), 1.0);
  EXPECT_EQ(MTime().unit(), MTime::kPALFrame);  // a new time speaks the current unit
}

}  // namespace
