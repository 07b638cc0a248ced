#include <GL/gl.h>
#include <maya/M3dView.h>
#include <maya/MDrawContext.h>
#include <maya/MFnCamera.h>
#include <maya/MFnDagNode.h>
#include <maya/MFnMesh.h>
#include <maya/MIntArray.h>
#include <maya/MPointArray.h>
#include <maya/MSelectionList.h>
#include <maya/MStateManager.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "BodyFixture.h"
#include "src/simulation/zovCrackerNode.h"
#include "src/viewport/rigidBodyNodeDrawVport20.h"
#include "support/HostLookups.h"
#include "support/PngReading.h"
#include "support/ScratchFile.h"
#include "testing/RenderTesting.h"

namespace {

namespace testing = zovhost::testing;
using zovhost::RenderImage;
using Rgb = std::array<int, 3>;

const char* const kRenderers[] = {"legacy", "opengl", "core", "dx"};
const char* const kViewport20[] = {"opengl", "core", "dx"};
constexpr int kSize = 64;
/// The view's orthographic camera sees this many units across.
constexpr double kViewWidth = 2.0;
constexpr double kPixelsPerUnit = kSize / kViewWidth;

/// Bodies drawn through an orthographic camera down -z that sees kViewWidth
/// across a kSize x kSize view, with the solver showing every body.
class BodyDrawing : public BodyTest {
 protected:
  void SetUp() override {
    BodyTest::SetUp();
    solver = makeSolver();
    showSelectedOnly(false);
    run("camera -n eye; setAttr eyeShape.orthographic 1; setAttr eye.translateZ 10");
    run("setAttr eyeShape.orthographicWidth " + std::to_string(kViewWidth));
  }

  void showSelectedOnly(bool only) {
    run("setAttr " + solver + ".displaySelected " + (only ? "1" : "0"));
    run("getAttr " + solver + ".ca_displaySelected");
  }

  /// A body on a w x h x d box at the origin, made and pulled.
  std::string box(const std::string& name, double w, double h, double d, int type) {
    const std::string body = makeBoxBody(name, w, h, d, "0 0 0", "0 0 0", type, solver);
    bodyNode(body).pullAll();
    run("select -cl");
    return body;
  }

  static RenderImage render(const std::string& renderer) { return testing::renderView("eye", kSize, kSize, renderer); }

  /// Where a point of the z = 0 plane shows: pixel column and row (rows from the bottom).
  static double column(double x) { return kSize / 2.0 + x * kPixelsPerUnit; }

  static bool isBackground(const uint8_t* p) {
    const std::array<uint8_t, 3> bg = testing::viewBackground();
    return p[0] == bg[0] && p[1] == bg[1] && p[2] == bg[2];
  }
  static bool near(const uint8_t* p, const Rgb& rgb) {
    return std::abs(p[0] - rgb[0]) <= 1 && std::abs(p[1] - rgb[1]) <= 1 && std::abs(p[2] - rgb[2]) <= 1;
  }
  /// The drawn pixels (not background) as centres (x, y).
  static std::vector<std::array<double, 2>> drawn(const RenderImage& image) {
    std::vector<std::array<double, 2>> pixels;
    for (int y = 0; y < image.height; ++y)
      for (int x = 0; x < image.width; ++x)
        if (!isBackground(image.pixel(x, y))) pixels.push_back({x + 0.5, y + 0.5});
    return pixels;
  }
  /// Whether a pixel within `reach` of (x, y) shows the colour.
  static bool shownNear(const RenderImage& image, double x, double y, const Rgb& rgb, int reach = 1) {
    for (int v = static_cast<int>(y) - reach; v <= static_cast<int>(y) + reach; ++v)
      for (int u = static_cast<int>(x) - reach; u <= static_cast<int>(x) + reach; ++u)
        if (u >= 0 && v >= 0 && u < image.width && v < image.height && near(image.pixel(u, v), rgb)) return true;
    return false;
  }

  std::string solver;
};

TEST_F(BodyDrawing, AUnitCubesOutlineShowsItsStateInEveryRenderer) {
  struct Case {
    const char* state;
    const char* lines;
    Rgb rgb;
  };
  const Case cases[] = {
      {"dynamic", "select -cl", {0, 128, 0}},
      {"selected", "select -r cubeBody", {0, 255, 0}},
      {"static", "select -cl; setAttr cubeBody.passive 1; getAttr cubeBody.ca_activeState", {0, 0, 255}},
      {"static selected", "select -r cubeBody", {0, 255, 255}},
      {"not live", "select -cl; setAttr cubeBody.enabled 0; getAttr cubeBody.ca_activeState", {0, 0, 0}},
  };
  box("cube", 1.0, 1.0, 1.0, 2);
  // The cube's front and back faces both show as the square from -0.5 to
  // 0.5; its other faces lie on the square's edges.
  const double low = column(-0.5), high = column(0.5), middle = column(0.0);
  for (const Case& c : cases) {
    run(c.lines);
    for (const char* renderer : kRenderers) {
      const RenderImage image = render(renderer);
      ASSERT_EQ(image.width, kSize) << renderer;
      const std::vector<std::array<double, 2>> pixels = drawn(image);
      ASSERT_FALSE(pixels.empty()) << c.state << " " << renderer;
      for (const auto& p : pixels) {
        EXPECT_TRUE(near(image.pixel(static_cast<int>(p[0]), static_cast<int>(p[1])), c.rgb))
            << c.state << " " << renderer << " at " << p[0] << ", " << p[1];
        const double fromEdge = std::min(std::min(std::fabs(p[0] - low), std::fabs(p[0] - high)),
                                         std::min(std::fabs(p[1] - low), std::fabs(p[1] - high)));
        EXPECT_LE(fromEdge, 1.5) << c.state << " " << renderer;
      }
      for (const auto& edge : {std::array<double, 2>{middle, low}, std::array<double, 2>{middle, high},
                               std::array<double, 2>{low, middle}, std::array<double, 2>{high, middle}})
        EXPECT_TRUE(shownNear(image, edge[0], edge[1], c.rgb)) << c.state << " " << renderer;
    }
  }
}

TEST_F(BodyDrawing, ACapsuleShowsCirclesAboutItsEndsAndInTheLegacyViewItsSidesToo) {
  const std::string body = box("rod", 0.4, 1.2, 0.4, 1);
  HardBody* engine = bodyNode(body).engineBody(true);
  ASSERT_NE(engine, nullptr);
  ASSERT_EQ(engine->getType(), kCapsuleBody);
  // The capsule's own ends and radius, placed by the transform (at the origin).
  const ZOVcapsule& capsule = *engine->getBoundingVolume(1);
  const double r = capsule.radius * kPixelsPerUnit;
  std::array<double, 2> ends[2];
  for (int e = 0; e < 2; ++e) {
    const Mgc::MgcVector3 end = e == 0 ? lowerEnd(capsule) : upperEnd(capsule);
    ends[e] = {column(end.x), column(end.y)};
  }
  ASSERT_GT(std::fabs(ends[1][1] - ends[0][1]), 2.0 * r);
  const Rgb green = {0, 128, 0};
  for (const char* renderer : kViewport20) {
    const RenderImage image = render(renderer);
    // Seen down z, the circle about z is a circle and the circle about y a
    // line through its centre.
    for (const auto& p : drawn(image)) {
      bool onShape = false;
      for (const auto& end : ends) {
        const double dx = p[0] - end[0], dy = p[1] - end[1];
        onShape =
            onShape || std::fabs(std::hypot(dx, dy) - r) <= 1.0 || (std::fabs(dy) <= 1.0 && std::fabs(dx) <= r + 1.0);
      }
      EXPECT_TRUE(onShape) << renderer << " at " << p[0] << ", " << p[1];
    }
    for (const auto& end : ends)
      for (int k = 0; k < 8; ++k) {
        const double a = k * 0.7853981633974483;
        EXPECT_TRUE(shownNear(image, end[0] + r * std::cos(a), end[1] + r * std::sin(a), green))
            << renderer << " angle " << k;
      }
  }
  // The legacy view adds the sides between the ends and the caps beyond them.
  const RenderImage legacy = render("legacy");
  const double halfway = 0.5 * (ends[0][1] + ends[1][1]);
  for (double x : {ends[0][0] - r, ends[0][0] + r}) EXPECT_TRUE(shownNear(legacy, x, halfway, green)) << x;
  EXPECT_TRUE(shownNear(legacy, ends[1][0], ends[1][1] + r, green));
  EXPECT_TRUE(shownNear(legacy, ends[0][0], ends[0][1] - r, green));
  for (const auto& p : drawn(legacy))
    EXPECT_TRUE(p[1] >= ends[0][1] - r - 1.5 && p[1] <= ends[1][1] + r + 1.5 && std::fabs(p[0] - ends[0][0]) <= r + 1.5)
        << p[0] << ", " << p[1];
}

TEST_F(BodyDrawing, WhatTheHostAndTheUserDoDecidesWhetherBodiesAreDrawn) {
  struct Case {
    const char* when;
    std::function<void(bool)> set;
    bool viewport20;
    bool legacy;
  };
  const Case cases[] = {
      {"playing back", testing::setPlaying, false, false},
      {"scrubbing", testing::setScrubbing, false, true},
      {"in wireframe", testing::setWireframe, true, false},
      {"user interacting", testing::setUserInteraction, false, false},
      {"camera moving", testing::setChangingViewContext, false, false},
      {"showing only what is selected", [this](bool on) { showSelectedOnly(on); }, false, false},
  };
  box("cube", 1.0, 1.0, 1.0, 2);
  for (const Case& c : cases) {
    for (const char* renderer : kRenderers) {
      // A frame drawn first, so that the override holds data from before.
      ASSERT_FALSE(drawn(render(renderer)).empty()) << renderer;
      c.set(true);
      const bool expected = std::string(renderer) == "legacy" ? c.legacy : c.viewport20;
      EXPECT_EQ(!drawn(render(renderer)).empty(), expected) << c.when << " " << renderer;
      c.set(false);
    }
  }
  // Selected, a body shows when the solver shows only what is selected.
  showSelectedOnly(true);
  run("select -r cubeBody");
  for (const char* renderer : kRenderers) EXPECT_FALSE(drawn(render(renderer)).empty()) << renderer;
}

TEST_F(BodyDrawing, PhantomAndCrackerBodiesAreNotDrawnByTheRigidBody) {
  box("ghost", 1.0, 1.0, 1.0, 0);
  ASSERT_EQ(bodyNode("ghostBody").engineBody(true)->getType(), kPhantomBody);
  for (const char* renderer : kRenderers) EXPECT_TRUE(drawn(render(renderer)).empty()) << renderer;
}

/// Calls of the override's draw callback made by hand, with a state manager
/// of the test's own.
class DrawCallback : public BodyDrawing {
 protected:
  /// The data the override prepares for the body's node.
  rigidBodyNodeDrawData& prepare(const std::string& body) {
    MDagPath path;
    MDagPath::getAPathTo(node(body), path);
    drawer.reset(static_cast<rigidBodyNodeDrawVport20*>(
        zovdraw::ObjectDrawOverride::creator<rigidBodyNodeDrawVport20>(node(body))));
    const MHWRender::MFrameContext frame(MMatrix(), MMatrix(), MMatrix(), MHWRender::MFrameContext::kGouraudShaded,
                                         kSize, kSize);
    data.reset(static_cast<rigidBodyNodeDrawData*>(drawer->prepareForDraw(path, MDagPath(), frame, nullptr)));
    return *data;
  }
  /// The callback in a frame of the style, with identity matrices: object
  /// coordinates are clip coordinates.
  void callback(unsigned int style) {
    const MHWRender::MFrameContext frame(MMatrix(), MMatrix(), MMatrix(), style, kSize, kSize);
    rigidBodyNodeDrawVport20::drawCallback(MHWRender::MDrawContext(frame, &states), data.get());
  }

  MHWRender::MStateManager states;
  std::unique_ptr<rigidBodyNodeDrawVport20> drawer;
  std::unique_ptr<rigidBodyNodeDrawData> data;
};

TEST_F(DrawCallback, TheRasterizerStateBeforeTheDrawIsCurrentAfterItWhateverTheStyle) {
  prepare(box("cube", 1.0, 1.0, 1.0, 2));
  for (int api : {MHWRender::kOpenGL, MHWRender::kOpenGLCoreProfile, MHWRender::kDirectX11})
    for (unsigned int style :
         {0u, unsigned(MHWRender::MFrameContext::kGouraudShaded), unsigned(MHWRender::MFrameContext::kWireFrame)}) {
      testing::setDrawAPI(api);
      ASSERT_TRUE(api == MHWRender::kDirectX11 || testing::makeViewCurrent());
      const MHWRender::MRasterizerState* before = states.getRasterizerState();
      const unsigned references = testing::rasterizerReferences(before);
      callback(style);
      const MHWRender::MRasterizerState* after = states.getRasterizerState();
      EXPECT_EQ(after, before) << api << " style " << style;
      EXPECT_EQ(after->desc().cullMode, MHWRender::MRasterizerStateDesc::kCullBack);
      // The callback gave back every reference it took.
      EXPECT_EQ(testing::rasterizerReferences(before), references + 1) << api << " style " << style;
      MHWRender::MStateManager::releaseRasterizerState(after);
      MHWRender::MStateManager::releaseRasterizerState(before);
    }
}

TEST_F(DrawCallback, AFaceThatClaimsFortyCornersDrawsItsFirstThirtyTwo) {
  // A prism over a 32-gon, kept as a triangle mesh: its caps are faces of 32 corners.
  std::vector<MPoint> points;
  for (int level = 0; level < 2; ++level)
    for (int i = 0; i < 32; ++i)
      points.emplace_back(0.8 * std::cos(i * 0.19634954084936207), 0.8 * std::sin(i * 0.19634954084936207),
                          level == 0 ? -0.2 : 0.2);
  std::vector<int> counts = {32, 32}, corners;
  for (int i = 0; i < 32; ++i) corners.push_back(31 - i);
  for (int i = 0; i < 32; ++i) corners.push_back(32 + i);
  for (int i = 0; i < 32; ++i) {
    counts.push_back(4);
    corners.insert(corners.end(), {i, (i + 1) % 32, 32 + (i + 1) % 32, 32 + i});
  }
  const MObject transform = meshOf(points, counts, corners);
  const std::string name = MFnDependencyNode(transform).name().str();
  attachBody(name, MFnDependencyNode(MFnDagNode(transform).child(0)).name().str(), 3, solver);
  rigidBodyNodeDrawData& prepared = prepare(name + "Body");
  ASSERT_NE(prepared.body, nullptr);
  ZOVmesh* engineMesh = prepared.body->getWorldMesh();
  ASSERT_GE(engineMesh->numVertices, 32u);
  // A face with room for 32 corners (a cap of the prism) names 32 distinct
  // corners but claims 40.
  std::uint32_t capFace = 0;
  while (capFace < engineMesh->numFaces && engineMesh->faces[capFace].cornerCapacity < 32) ++capFace;
  ASSERT_LT(capFace, engineMesh->numFaces);
  mesh_face& claimed = engineMesh->faces[capFace];
  const std::uint32_t keptCount = claimed.numVertices;
  const std::vector<std::uint32_t> keptCorners(claimed.vertices, claimed.vertices + 32);
  for (std::uint32_t i = 0; i < 32; ++i) claimed.vertices[i] = i;
  claimed.numVertices = 40;
  size_t expected = 32;
  for (std::uint32_t f = 0; f < engineMesh->numFaces; ++f)
    if (f != capFace) expected += engineMesh->faces[f].numVertices;

  // Outlines come back from feedback as one line per side.
  testing::setDrawAPI(MHWRender::kOpenGL);
  ASSERT_TRUE(testing::makeViewCurrent());
  const auto primitives = testing::feedback([this] { callback(MHWRender::MFrameContext::kGouraudShaded); });
  EXPECT_EQ(testing::countPrimitives(primitives, testing::FeedbackPrimitive::Line), expected);
  claimed.numVertices = keptCount;
  std::copy(keptCorners.begin(), keptCorners.end(), claimed.vertices);
}

TEST_F(DrawCallback, StressColoursShadeOnlyWhenTheyCoverEveryVertex) {
  rigidBodyNodeDrawData& prepared = prepare(box("cube", 1.0, 1.0, 1.0, 2));
  ZOVmesh* mesh = prepared.body->getWorldMesh();
  prepared.look.piece = prepared.showStress = true;
  prepared.mesh = mesh;
  // The world inverse brings the cube to the view's middle, half as large.
  const double half[4][4] = {{0.5, 0, 0, 0}, {0, 0.5, 0, 0}, {0, 0, 0.5, 0}, {0, 0, 0, 1}};
  prepared.worldInverse = MMatrix(half);
  for (const char* renderer : {"opengl", "dx"}) {
    const bool direct3D = std::string(renderer) == "dx";
    testing::setDrawAPI(direct3D ? MHWRender::kDirectX11 : MHWRender::kOpenGL);
    for (unsigned int colours : {mesh->numVertices - 1, mesh->numVertices}) {
      prepared.stressColors = MColorArray(colours, MColor(1.0f, 0.0f, 0.0f));
      testing::clearD3DRecord();
      if (!direct3D) {
        testing::clearView({0.0f, 0.0f, 0.0f, 1.0f});
        ASSERT_TRUE(testing::makeViewCurrent());
      }
      callback(MHWRender::MFrameContext::kGouraudShaded);
      const RenderImage image =
          direct3D ? testing::rasterizeD3DDraws(testing::d3dDraws(), kSize, kSize, {0.0f, 0.0f, 0.0f, 1.0f})
                   : testing::readView();
      // Covered, the faces fill red; short of a colour, the outlines show in
      // the piece's flat colour and the middle stays empty.
      const bool shaded = colours == mesh->numVertices;
      const uint8_t* centre = image.pixel(kSize / 2, kSize / 2);
      EXPECT_EQ(near(centre, {255, 0, 0}), shaded) << renderer << " " << colours;
      EXPECT_GT(testing::litPixels(image), 0) << renderer << " " << colours;
    }
  }
}

TEST_F(BodyDrawing, ACrackerDrawsItsCapsuleInTheLegacyViewInBlueOrCyanWhenSelected) {
  run("polyCube -w 0.4 -h 1.2 -d 0.4 -n hammer");
  run("createNode zovCollisionShape -n collider; connectAttr hammerShape.worldMesh[0] collider.inShape");
  run("setAttr collider.type 6; createNode zovCracker -p hammer -n cracker");
  run("connectAttr collider.outCollisionType cracker.inCollisionType; connectAttr " + solver +
      ".crackers cracker.solver");
  static_cast<zovCrackerNode*>(MFnDependencyNode(node("cracker")).userNode())->readParameters();
  struct Case {
    const char* lines;
    std::function<void(bool)> condition;
    Rgb rgb;
    bool drawn;
  };
  const Case cases[] = {
      {"select -cl", nullptr, {0, 0, 255}, true},           {"select -r cracker", nullptr, {0, 255, 255}, true},
      {"select -r hammer", nullptr, {0, 255, 255}, true},   {"select -cl", testing::setPlaying, {0, 0, 255}, false},
      {"select -cl", testing::setBusy, {0, 0, 255}, false}, {"select -cl", testing::setWireframe, {0, 0, 255}, false},
  };
  for (const Case& c : cases) {
    run(c.lines);
    if (c.condition) c.condition(true);
    const RenderImage image = render("legacy");
    if (c.condition) c.condition(false);
    const std::vector<std::array<double, 2>> pixels = drawn(image);
    EXPECT_EQ(!pixels.empty(), c.drawn) << c.lines;
    for (const auto& p : pixels)
      EXPECT_TRUE(near(image.pixel(static_cast<int>(p[0]), static_cast<int>(p[1])), c.rgb)) << c.lines;
  }
  // Viewport 2.0 has no override for crackers.
  for (const char* renderer : kViewport20) EXPECT_TRUE(drawn(render(renderer)).empty()) << renderer;
}

}  // namespace

namespace {

/// Where the perspective camera shows a world point, from the camera's own
/// readings: pixel column and row (rows from the top) of a width x height picture.
using zovtest::pathNamed;

std::array<double, 2> seenAt(const MFnCamera& camera, const MPoint& point, int width, int height) {
  const MVector d = point - camera.eyePoint(MSpace::kWorld);
  const double depth = d * camera.viewDirection(MSpace::kWorld);
  const double halfWidth = depth * std::tan(0.5 * camera.horizontalFieldOfView());
  const double halfHeight = halfWidth * height / width;
  const double x = d * camera.rightDirection(MSpace::kWorld) / halfWidth;
  const double y = d * camera.upDirection(MSpace::kWorld) / halfHeight;
  return {(x + 1.0) * 0.5 * width, (1.0 - y) * 0.5 * height};
}

TEST_F(BodyDrawing, SnapshotsShowEachBodyInsideTheProjectionOfItsWorldBox) {
  makeBoxBody("left", 2.0, 1.0, 1.0, "-4 0 0", "0 0 0", 2, solver);
  makeBoxBody("right", 1.0, 2.0, 1.0, "4 1 0", "30 0 45", 2, solver);
  makeBoxBody("rod", 0.5, 3.0, 0.5, "0 2 -3", "0 0 20", 1, solver);
  run("setAttr rightBody.passive 1");
  for (const char* name : {"leftBody", "rightBody", "rodBody"}) bodyNode(name).pullAll();
  run("select -cl");
  const zovtest::ScratchFolder folder("zovBodies");
  constexpr int kWidth = 160, kHeight = 120;

  for (const char* renderer : kRenderers) {
    const std::string file = folder.path + "/" + renderer + ".png";
    run("snapshot -width " + std::to_string(kWidth) + " -height " + std::to_string(kHeight) + " -renderer " + renderer +
        " -file \"" + file + "\"");
    const DecodedPng picture = readPng(file);
    ASSERT_EQ(picture.width, kWidth) << renderer;
    ASSERT_EQ(picture.height, kHeight) << renderer;
    // The projected world box of each body (a capsule's reaches past its
    // mesh), a pixel wider for line rasterisation.
    const MFnCamera camera(pathNamed("persp"));
    std::vector<std::array<double, 4>> boxes;
    for (const char* name : {"left", "right", "rod"}) {
      MPointArray points;
      HardBody* body = bodyNode(std::string(name) + "Body").engineBody(true);
      if (body->getType() == kCapsuleBody) {
        const ZOVcapsule& capsule = *body->getBoundingVolume(1);
        for (const Mgc::MgcVector3& end : {lowerEnd(capsule), upperEnd(capsule)})
          for (int corner = 0; corner < 8; ++corner)
            points.append(MPoint(end.x + (corner & 1 ? capsule.radius : -capsule.radius),
                                 end.y + (corner & 2 ? capsule.radius : -capsule.radius),
                                 end.z + (corner & 4 ? capsule.radius : -capsule.radius)));
      } else {
        MFnMesh(pathNamed(std::string(name) + "Shape")).getPoints(points, MSpace::kWorld);
      }
      std::array<double, 4> box = {1e9, 1e9, -1e9, -1e9};
      for (unsigned int i = 0; i < points.length(); ++i) {
        const std::array<double, 2> p = seenAt(camera, points[i], kWidth, kHeight);
        box = {std::min(box[0], p[0] - 1.0), std::min(box[1], p[1] - 1.0), std::max(box[2], p[0] + 1.0),
               std::max(box[3], p[1] + 1.0)};
      }
      boxes.push_back(box);
    }
    const std::array<uint8_t, 3> background = testing::viewBackground();
    std::vector<int> inside(boxes.size(), 0);
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x) {
        if (std::equal(background.begin(), background.end(), picture.at(x, y))) continue;
        bool within = false;
        for (size_t b = 0; b < boxes.size(); ++b)
          if (x + 0.5 >= boxes[b][0] && x + 0.5 <= boxes[b][2] && y + 0.5 >= boxes[b][1] && y + 0.5 <= boxes[b][3]) {
            within = true;
            ++inside[b];
          }
        EXPECT_TRUE(within) << renderer << " pixel " << x << ", " << y;
      }
    for (size_t b = 0; b < boxes.size(); ++b) EXPECT_GT(inside[b], 0) << renderer << " body " << b;
  }
}

}  // namespace
