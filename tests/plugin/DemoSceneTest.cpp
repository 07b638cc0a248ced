// The demonstration scene, examples/demo.mel, run as the command-line host
// runs it and checked against truths of its own: the shards' geometry, the
// joints' body names, free fall, and the camera's projection.
#include <gtest/gtest.h>
#include <maya/MAnimControl.h>
#include <maya/MDagPath.h>
#include <maya/MDoubleArray.h>
#include <maya/MEventMessage.h>
#include <maya/MFnDagNode.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MFnMesh.h>
#include <maya/MGlobal.h>
#include <maya/MMatrix.h>
#include <maya/MPlug.h>
#include <maya/MPointArray.h>
#include <maya/MSelectionList.h>
#include <maya/MStringArray.h>
#include <zovhost/Application.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "MeshTestSupport.h"
#include "platform/Processors.h"
#include "support/HostLookups.h"
#include "support/PngReading.h"
#include "support/ScratchFile.h"
#include "testing/HostTesting.h"

namespace {

namespace fs = std::filesystem;
namespace testing = zovhost::testing;

constexpr int kLastFrame = 96;
constexpr int kPictureFrame = 48;
constexpr double kFramesPerSecond = 24.0;
constexpr int kPictureWidth = 320;
constexpr int kPictureHeight = 240;
/// The colours the bodies draw in: a fracture body's piece and a static body.
constexpr std::uint8_t kPieceRgb[3] = {153, 76, 0};
constexpr std::uint8_t kStaticRgb[3] = {0, 0, 255};

std::string demoScript() { return fs::path(ZOV_EXAMPLES_UI_PATH).parent_path().append("demo.mel").string(); }

using zovtest::pathNamed;

using zovtest::nodesOfType;

/// The first mesh shape under a transform.
MDagPath meshUnder(const MDagPath& transform) {
  for (unsigned int c = 0; c < transform.childCount(); ++c) {
    MDagPath shape = transform;
    shape.push(transform.child(c));
    if (shape.hasFn(MFn::kMesh)) return shape;
  }
  return MDagPath();
}

std::vector<MPoint> worldPoints(const MDagPath& mesh) {
  MPointArray points;
  MFnMesh(mesh).getPoints(points, MSpace::kObject);
  const MMatrix world = mesh.inclusiveMatrix();
  std::vector<MPoint> placed;
  for (unsigned int i = 0; i < points.length(); ++i) placed.push_back(points[i] * world);
  return placed;
}

double lowestOf(const std::vector<MPoint>& points) {
  double lowest = HUGE_VAL;
  for (const MPoint& p : points) lowest = std::min(lowest, p.y);
  return lowest;
}

/// The polygons of a mesh as lists of corner indices.
std::vector<std::vector<int>> polygonsOf(const MDagPath& mesh) {
  MFnMesh fn(mesh);
  std::vector<std::vector<int>> polygons;
  for (int f = 0; f < fn.numPolygons(); ++f) {
    MIntArray corners;
    fn.getPolygonVertices(f, corners);
    polygons.emplace_back();
    for (unsigned int k = 0; k < corners.length(); ++k) polygons.back().push_back(corners[k]);
  }
  return polygons;
}

/// The enclosed volume by the divergence theorem: the sum over the faces,
/// fanned into triangles, of the signed tetrahedra they make with the origin.
double enclosedVolume(const std::vector<MPoint>& points, const std::vector<std::vector<int>>& polygons) {
  double six = 0.0;
  for (const std::vector<int>& polygon : polygons)
    for (size_t k = 1; k + 1 < polygon.size(); ++k) {
      const MVector a(points[polygon[0]]), b(points[polygon[k]]), c(points[polygon[k + 1]]);
      six += a * (b ^ c);
    }
  return six / 6.0;
}

/// The centroid of a polygon's corners and its vector area (Newell).
void polygonFrame(const std::vector<MPoint>& points, const std::vector<int>& polygon, MPoint& centre, MVector& area) {
  MVector sum, newell;
  for (size_t k = 0; k < polygon.size(); ++k) {
    const MVector p(points[polygon[k]]), q(points[polygon[(k + 1) % polygon.size()]]);
    sum += p;
    newell += p ^ q;
  }
  centre = MPoint(sum / static_cast<double>(polygon.size()));
  area = 0.5 * newell;
}

/// What the command-line host printed, line by line, rebuilt from the log.
std::vector<std::string> printedLines() {
  std::string text;
  for (const testing::Message& message : testing::messages()) {
    if (message.kind == testing::MessageKind::Print)
      text += message.text;
    else if (message.kind == testing::MessageKind::Info)
      text += message.text + "\n";
  }
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

/// Runs a script file line by line as zovhost-run does.
bool runScript(const std::string& file) {
  std::ifstream in(file);
  if (!in) return false;
  bool allRan = true;
  std::string pending, line;
  const auto run = [&]() {
    if (pending.find_first_not_of(" \t\r\n") != std::string::npos) {
      allRan = zovhost::app::runLine(pending) && allRan;
      zovhost::app::runIdleQueue();
    }
    pending.clear();
  };
  while (std::getline(in, line)) {
    pending += pending.empty() ? line : "\n" + line;
    if (!zovhost::app::needsMoreLines(pending)) run();
  }
  run();
  return allRan;
}

/// The joints the scene reported broken, by frame.
std::map<int, std::vector<std::string>> brokenByFrame(const std::vector<std::string>& lines) {
  std::map<int, std::vector<std::string>> broken;
  const std::string head = "frame ";
  for (const std::string& line : lines) {
    if (line.rfind(head, 0) != 0 || line.find(", broken:") == std::string::npos) continue;
    std::istringstream words(line.substr(head.size()));
    int frame = 0;
    std::string word;
    words >> frame >> word >> word;  // ", broken:"
    while (words >> word) broken[frame].push_back(word);
  }
  return broken;
}

/// A number printed after a text in a line that holds it; NaN when none does.
double numberAfter(const std::vector<std::string>& lines, const std::string& text) {
  for (const std::string& line : lines) {
    const size_t at = line.find(text);
    if (at != std::string::npos) return std::strtod(line.c_str() + at + text.size(), nullptr);
  }
  return std::nan("");
}

/// A camera's picture geometry: where it stands, how it turns, and its
/// horizontal field of view.
struct CameraView {
  MVector translate;
  MVector rotateDegrees;
  double focalLength = 0.0;
  double horizontalAperture = 0.0;

  /// The pixel (column, row from the top) a world point projects to in a
  /// picture of the given size: the camera turns about x, then y, then z,
  /// and looks down its -z axis.
  bool project(const MPoint& world, int width, int height, double& column, double& row) const {
    const double radians = M_PI / 180.0;
    MVector p = MVector(world) - translate;
    // Undo the turns in reverse order: z, then y, then x.
    const auto turn = [](MVector v, int axis, double angle) {
      const double c = std::cos(angle), s = std::sin(angle);
      if (axis == 0) return MVector(v.x, c * v.y - s * v.z, s * v.y + c * v.z);
      if (axis == 1) return MVector(c * v.x + s * v.z, v.y, -s * v.x + c * v.z);
      return MVector(c * v.x - s * v.y, s * v.x + c * v.y, v.z);
    };
    p = turn(p, 2, -rotateDegrees.z * radians);
    p = turn(p, 1, -rotateDegrees.y * radians);
    p = turn(p, 0, -rotateDegrees.x * radians);
    if (p.z >= 0.0) return false;
    // The aperture is in inches, the focal length in millimetres.
    const double scale = 2.0 * focalLength / (horizontalAperture * 25.4);
    const double aspect = static_cast<double>(width) / height;
    const double x = scale * p.x / -p.z, y = scale * aspect * p.y / -p.z;
    column = 0.5 * (x + 1.0) * width;
    row = 0.5 * (1.0 - y) * height;
    return true;
  }
};

/// What one shard is and how it moved.
struct ShardRecord {
  std::string body;
  std::vector<std::vector<int>> polygons;
  std::vector<bool> cutFaces;
  /// World points at the first frame, the picture's, the last but one and
  /// the last.
  std::vector<MPoint> first, pictured, beforeLast, last;
  /// The world matrix of its transform at every frame (index 0 is frame 1).
  std::vector<MMatrix> placement;
  std::vector<double> lowest;
};

struct DemoRun {
  std::vector<std::string> printed;
  std::vector<ShardRecord> shards;
  /// Each joint node with the rigid body nodes it joins.
  std::map<std::string, std::pair<std::string, std::string>> joints;
  std::vector<MPoint> groundPictured;
  double groundTop = 0.0;
  double gravity = 0.0;
  CameraView camera;
  DecodedPng core, legacy;
};

/// Runs the scene in a fresh host with the module's worker count set;
/// answers what it printed.
std::vector<std::string> runDemo(int workers, MMessage::MBasicFunction onTimeChange = nullptr) {
  testing::resetHost();
  if (onTimeChange) MEventMessage::addEventCallback("timeChanged", onTimeChange);
  zov::platform::setProcessorCountOverride(workers);
  zovhost::app::addScriptPath(ZOV_EXAMPLES_UI_PATH);
  zovhost::app::addPluginPath(fs::path(ZOV_MODULE_PATH).parent_path().string());
  testing::clearLogs();
  EXPECT_TRUE(runScript(demoScript()));
  return printedLines();
}

MVector vectorOf(const std::string& plug) {
  MDoubleArray values;
  MGlobal::executeCommand(("getAttr " + plug).c_str(), values);
  return values.length() == 3 ? MVector(values[0], values[1], values[2]) : MVector();
}

double numberOf(const std::string& plug) {
  double value = 0.0;
  MGlobal::executeCommand(("getAttr " + plug).c_str(), value);
  return value;
}

/// The scene run once with eight workers, every shard's placement recorded
/// at each of its frames.
class DemoScene : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    images = std::make_unique<zovtest::ScratchFolder>("zov-demo-");
    ::setenv("ZOVHOST_IMAGES", images->path.c_str(), 1);
    run = std::make_unique<DemoRun>();
    run->printed = runDemo(8, recordFrame);
    run->core = readPng(images->path + "/demo.png");
    run->legacy = readPng(images->path + "/demo-legacy.png");

    recordShards(kLastFrame);
    MGlobal::executeCommand("currentTime 1");
    for (const std::string& joint : nodesOfType("zovStressNode")) {
      MString first, second;
      MGlobal::executeCommand(("getAttr " + joint + ".body1Name").c_str(), first);
      MGlobal::executeCommand(("getAttr " + joint + ".body2Name").c_str(), second);
      run->joints[joint] = {first.asChar(), second.asChar()};
    }
    run->gravity = vectorOf("zovSolverNode1.gravity").length();
    run->camera = {vectorOf("demoCamera.translate"), vectorOf("demoCamera.rotate"),
                   numberOf("demoCameraShape.focalLength"), numberOf("demoCameraShape.horizontalFilmAperture")};
  }

  /// Called on every change of time while the scene plays, before the new
  /// frame is evaluated: once the bodies exist, records where every shard
  /// stands at the frame before.
  static void recordFrame(void*) {
    recordShards(static_cast<int>(std::lround(MAnimControl::currentTime().value())) - 1);
  }

  static void recordShards(int frame) {
    if (meshes.empty()) {
      if (frame != 1) return;
      for (const std::string& body : nodesOfType("zovRigidBody")) {
        MDagPath transform = pathNamed(body);
        transform.pop();
        const MDagPath mesh = meshUnder(transform);
        if (MFnDagNode(transform.node()).name() == "ground") {
          run->groundTop = -HUGE_VAL;
          for (const MPoint& p : worldPoints(mesh)) run->groundTop = std::max(run->groundTop, p.y);
          continue;
        }
        ShardRecord shard;
        shard.body = body;
        shard.polygons = polygonsOf(mesh);
        for (size_t f = 0; f < shard.polygons.size(); ++f)
          shard.cutFaces.push_back(meshtest::tagOf(mesh, static_cast<int>(f)) == 1);
        run->shards.push_back(shard);
        meshes.push_back(mesh);
      }
      if (meshes.empty()) return;
    }
    // Frames are recorded in order, each once.
    if (frame != static_cast<int>(run->shards.front().placement.size()) + 1) return;
    for (size_t s = 0; s < meshes.size(); ++s) {
      ShardRecord& shard = run->shards[s];
      MDagPath transform = meshes[s];
      transform.pop();
      shard.placement.push_back(transform.inclusiveMatrix());
      const std::vector<MPoint> points = worldPoints(meshes[s]);
      shard.lowest.push_back(lowestOf(points));
      if (frame == 1) shard.first = points;
      if (frame == kPictureFrame) shard.pictured = points;
      if (frame == kLastFrame - 1) shard.beforeLast = points;
      if (frame == kLastFrame) shard.last = points;
    }
    if (frame == kPictureFrame) run->groundPictured = worldPoints(meshUnder(pathNamed("ground")));
  }

  static void TearDownTestSuite() {
    run.reset();
    meshes.clear();
    testing::resetHost();
    zov::platform::setProcessorCountOverride(0);
    ::unsetenv("ZOVHOST_IMAGES");
    images.reset();
  }

  // The checks, each against a truth of its own.
  static void shardVolumesAddUpToTheCube();
  static void everyJointJoinsTwoShardsThatShareACutFace();
  static void theCubeFallsWholeAndBreaksWhenFreeFallSaysItLands();
  static void eachJointBreaksOnceAndTheFragmentsAreWhatTheRestHold();
  static void picturesShowThePiecesAndTheGroundWhereTheCameraSeesThem();

  static std::unique_ptr<zovtest::ScratchFolder> images;
  static std::unique_ptr<DemoRun> run;
  /// The shards' meshes, in the order of the run's shard records.
  static std::vector<MDagPath> meshes;
};

std::unique_ptr<zovtest::ScratchFolder> DemoScene::images;
std::unique_ptr<DemoRun> DemoScene::run;
std::vector<MDagPath> DemoScene::meshes;

void DemoScene::shardVolumesAddUpToTheCube() {
  ASSERT_EQ(run->shards.size(), 24u);
  double volume = 0.0;
  for (const ShardRecord& shard : run->shards) volume += enclosedVolume(shard.first, shard.polygons);
  EXPECT_NEAR(volume, 8.0, 8.0 * 1e-6);
  EXPECT_EQ(numberAfter(run->printed, "cubeShatterGroup: "), 24.0);
  EXPECT_NEAR(numberAfter(run->printed, "shards of volume "), 8.0, 1e-4);
}

void DemoScene::everyJointJoinsTwoShardsThatShareACutFace() {
  std::map<std::string, const ShardRecord*> byBody;
  for (const ShardRecord& shard : run->shards) byBody[shard.body] = &shard;
  ASSERT_FALSE(run->joints.empty());
  EXPECT_EQ(numberAfter(run->printed, "joints made: "), static_cast<double>(run->joints.size()));
  for (const auto& [joint, bodies] : run->joints) {
    const auto& [first, second] = bodies;
    ASSERT_TRUE(byBody.count(first) && byBody.count(second)) << first << " and " << second;
    const ShardRecord& a = *byBody[first];
    const ShardRecord& b = *byBody[second];
    // One cut face of each with the same centre and opposite normals of the
    // same area: Voronoi neighbours are cut by one polygon.
    bool shared = false;
    for (size_t fa = 0; fa < a.polygons.size() && !shared; ++fa) {
      if (!a.cutFaces[fa]) continue;
      MPoint centreA, centreB;
      MVector areaA, areaB;
      polygonFrame(a.first, a.polygons[fa], centreA, areaA);
      for (size_t fb = 0; fb < b.polygons.size() && !shared; ++fb) {
        if (!b.cutFaces[fb]) continue;
        polygonFrame(b.first, b.polygons[fb], centreB, areaB);
        shared = centreA.distanceTo(centreB) < 1e-6 && (areaA + areaB).length() < 1e-6 * areaA.length();
      }
    }
    EXPECT_TRUE(shared) << first << " and " << second;
  }
}

void DemoScene::theCubeFallsWholeAndBreaksWhenFreeFallSaysItLands() {
  ASSERT_FALSE(run->shards.empty());
  const double frame = 1.0 / kFramesPerSecond;
  double start = HUGE_VAL;
  for (const ShardRecord& shard : run->shards) start = std::min(start, shard.lowest[0]);
  const double gap = start - run->groundTop;
  ASSERT_GT(gap, 0.0);
  const double landing = std::sqrt(2.0 * gap / run->gravity);

  // The first frame whose lowest point leaves the free-fall parabola.
  int contact = 0;
  for (int f = 1; f <= kLastFrame && contact == 0; ++f) {
    const double t = (f - 1) * frame;
    double lowest = HUGE_VAL;
    for (const ShardRecord& shard : run->shards) lowest = std::min(lowest, shard.lowest[f - 1]);
    if (std::fabs(lowest - (start - 0.5 * run->gravity * t * t)) > 1e-3) contact = f;
  }
  ASSERT_GT(contact, 1);
  // The touch is found at the first frame after it, or at the next one,
  // whose step felt it.
  EXPECT_GE((contact - 1) * frame, landing);
  EXPECT_LE((contact - 1) * frame, landing + 2.0 * frame);

  // Until then every shard keeps its place relative to the first.
  const MMatrix reference = run->shards[0].placement[0].inverse();
  for (int f = 1; f < contact; ++f) {
    const MMatrix now = run->shards[0].placement[f - 1].inverse();
    for (const ShardRecord& shard : run->shards) {
      const MMatrix relativeThen = shard.placement[0] * reference, relativeNow = shard.placement[f - 1] * now;
      for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
          ASSERT_NEAR(relativeNow(r, c), relativeThen(r, c), 1e-6) << shard.body << " at frame " << f;
    }
  }

  // The first joint breaks within a frame of the landing.
  const std::map<int, std::vector<std::string>> printed = brokenByFrame(run->printed);
  ASSERT_FALSE(printed.empty());
  EXPECT_LE(std::abs(printed.begin()->first - contact), 1);
}

void DemoScene::eachJointBreaksOnceAndTheFragmentsAreWhatTheRestHold() {
  std::set<std::string> reported;
  size_t reports = 0;
  for (const auto& [frame, names] : brokenByFrame(run->printed)) {
    reports += names.size();
    reported.insert(names.begin(), names.end());
  }
  EXPECT_EQ(reported.size(), reports);
  EXPECT_EQ(numberAfter(run->printed, "joints broken: "), static_cast<double>(reports));

  // Connected components of the shards under the joints left whole.
  std::map<std::string, std::string> parent;
  for (const ShardRecord& shard : run->shards) parent[shard.body] = shard.body;
  const auto root = [&](std::string name) {
    while (parent[name] != name) name = parent[name];
    return name;
  };
  for (const auto& [joint, bodies] : run->joints)
    if (!reported.count(joint)) parent[root(bodies.first)] = root(bodies.second);
  std::set<std::string> components;
  for (const ShardRecord& shard : run->shards) components.insert(root(shard.body));
  EXPECT_EQ(numberAfter(run->printed, "ZovFractureBody: "), static_cast<double>(components.size()));
  EXPECT_GT(components.size(), 1u);

  // Each fragment's printed lowest point is its shards' lowest at the end.
  std::map<std::string, double> lowest;
  for (const ShardRecord& shard : run->shards) {
    const std::string component = root(shard.body);
    const double low = lowestOf(shard.last);
    lowest[component] = lowest.count(component) ? std::min(lowest[component], low) : low;
  }
  std::multiset<long> expected, printed;
  for (const auto& [component, low] : lowest) expected.insert(std::lround(low * 1e4));
  const std::string mark = "lowest point ";
  for (const std::string& line : run->printed)
    if (line.rfind("fragment ", 0) == 0 && line.find(mark) != std::string::npos)
      printed.insert(std::lround(std::strtod(line.c_str() + line.find(mark) + mark.size(), nullptr) * 1e4));
  EXPECT_EQ(printed, expected);
}

TEST_F(DemoScene, EveryPieceRestsOnTheGroundAtTheLastFrame) {
  for (const ShardRecord& shard : run->shards) {
    double fastest = 0.0;
    for (size_t v = 0; v < shard.last.size(); ++v)
      fastest = std::max(fastest, shard.last[v].distanceTo(shard.beforeLast[v]) * kFramesPerSecond);
    EXPECT_LT(fastest, 0.01) << shard.body;
    EXPECT_GE(lowestOf(shard.last), run->groundTop - 0.01) << shard.body;
  }
}

bool coloured(const DecodedPng& picture, int x, int y) {
  const std::uint8_t* background = picture.at(0, 0);
  return !std::equal(background, background + 3, picture.at(x, y));
}

int pixelsOf(const DecodedPng& picture, const std::uint8_t rgb[3]) {
  int count = 0;
  for (int y = 0; y < picture.height; ++y)
    for (int x = 0; x < picture.width; ++x) count += std::equal(rgb, rgb + 3, picture.at(x, y)) ? 1 : 0;
  return count;
}

void DemoScene::picturesShowThePiecesAndTheGroundWhereTheCameraSeesThem() {
  // The boxes around each body at the picture's frame, projected.
  struct Rect {
    double left, top, right, bottom;
  };
  std::vector<Rect> rects;
  std::vector<std::vector<MPoint>> bodies = {run->groundPictured};
  for (const ShardRecord& shard : run->shards) bodies.push_back(shard.pictured);
  for (const std::vector<MPoint>& points : bodies) {
    MPoint low(HUGE_VAL, HUGE_VAL, HUGE_VAL), high(-HUGE_VAL, -HUGE_VAL, -HUGE_VAL);
    for (const MPoint& p : points) {
      low = MPoint(std::min(low.x, p.x), std::min(low.y, p.y), std::min(low.z, p.z));
      high = MPoint(std::max(high.x, p.x), std::max(high.y, p.y), std::max(high.z, p.z));
    }
    Rect rect{HUGE_VAL, HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
    for (int corner = 0; corner < 8; ++corner) {
      const MPoint p(corner & 1 ? high.x : low.x, corner & 2 ? high.y : low.y, corner & 4 ? high.z : low.z);
      double column = 0.0, row = 0.0;
      ASSERT_TRUE(run->camera.project(p, kPictureWidth, kPictureHeight, column, row));
      rect = {std::min(rect.left, column), std::min(rect.top, row), std::max(rect.right, column),
              std::max(rect.bottom, row)};
    }
    rects.push_back(rect);
  }

  for (const DecodedPng* picture : {&run->core, &run->legacy}) {
    ASSERT_EQ(picture->width, kPictureWidth);
    ASSERT_EQ(picture->height, kPictureHeight);
    EXPECT_GE(pixelsOf(*picture, kPieceRgb), 100);
    EXPECT_GE(pixelsOf(*picture, kStaticRgb), 100);
    int outside = 0, drawn = 0;
    for (int y = 0; y < picture->height; ++y)
      for (int x = 0; x < picture->width; ++x) {
        if (!coloured(*picture, x, y)) continue;
        ++drawn;
        // A pixel's centre, within a pixel of a box: lines are a pixel wide.
        const double cx = x + 0.5, cy = y + 0.5;
        const bool inside = std::any_of(rects.begin(), rects.end(), [&](const Rect& r) {
          return cx >= r.left - 1.0 && cx <= r.right + 1.0 && cy >= r.top - 1.0 && cy <= r.bottom + 1.0;
        });
        outside += inside ? 0 : 1;
      }
    EXPECT_EQ(outside, 0);
    // The background dominates.
    EXPECT_LT(drawn, picture->width * picture->height / 4);
  }

  // Both renderers colour the same pixels, but for lines a pixel apart.
  int apart = 0;
  for (int y = 0; y < kPictureHeight; ++y)
    for (int x = 0; x < kPictureWidth; ++x) {
      if (coloured(run->core, x, y) == coloured(run->legacy, x, y)) continue;
      const DecodedPng& other = coloured(run->core, x, y) ? run->legacy : run->core;
      bool near = false;
      for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
          const int nx = x + dx, ny = y + dy;
          if (nx >= 0 && ny >= 0 && nx < kPictureWidth && ny < kPictureHeight && coloured(other, nx, ny)) near = true;
        }
      apart += near ? 0 : 1;
    }
  EXPECT_EQ(apart, 0);
}

// One test, so that the scene runs once per variant for all the checks
// (twice for the worker counts).
TEST_F(DemoScene, TellsTheTruthAboutItsShardsJointsFallFragmentsAndPictures) {
  {
    SCOPED_TRACE("shardVolumesAddUpToTheCube");
    shardVolumesAddUpToTheCube();
  }
  {
    SCOPED_TRACE("everyJointJoinsTwoShardsThatShareACutFace");
    everyJointJoinsTwoShardsThatShareACutFace();
  }
  {
    SCOPED_TRACE("theCubeFallsWholeAndBreaksWhenFreeFallSaysItLands");
    theCubeFallsWholeAndBreaksWhenFreeFallSaysItLands();
  }
  {
    SCOPED_TRACE("eachJointBreaksOnceAndTheFragmentsAreWhatTheRestHold");
    eachJointBreaksOnceAndTheFragmentsAreWhatTheRestHold();
  }
  {
    SCOPED_TRACE("picturesShowThePiecesAndTheGroundWhereTheCameraSeesThem");
    picturesShowThePiecesAndTheGroundWhereTheCameraSeesThem();
  }
  // Last: it replaces the scene the checks read.
  const std::vector<std::string> eight = run->printed;
  EXPECT_EQ(runDemo(1), eight) << "one worker against eight";
}

}  // namespace
