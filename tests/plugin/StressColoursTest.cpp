// Stress colours: each vertex of a piece shows its nearest joint's strength
// against the threshold; the pieces draw them, or the piece colours without
// them; colour nodes and sets of older scenes go when such a scene opens.
#include <maya/MDagPath.h>
#include <maya/MFnMesh.h>
#include <maya/MSceneMessage.h>
#include <maya/MStringArray.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <string>

#include "FractureFixture.h"
#include "src/simulation/rigidBodyNode.h"
#include "support/ScratchFile.h"
#include "testing/RenderTesting.h"

namespace {

namespace testing = zovhost::testing;
using Rgb = std::array<int, 3>;

/// Blue at the threshold: hue 0.666667 lands in the fifth sector a hair past
/// its start, 2^-19 in single precision.
const MColor kAtThreshold(1.9073486328125e-06f, 0.0f, 1.0f);

class StressColours : public FractureTest {
 protected:
  void SetUp() override {
    FractureTest::SetUp();
    block = makeBlock();
    ASSERT_TRUE(fracture(block));
    run("setAttr ZovFractureBody.randomThreshold 0; getAttr ZovFractureBody.ca_randomThreshold");
  }
  static void showStress(bool on) {
    run(std::string("setAttr ZovFractureBody.displayStressses ") + (on ? "1" : "0"));
    run("getAttr ZovFractureBody.ca_disStresses");
  }
  const MColorArray& coloursOf(const std::string& body) {
    fractureNode().colorStresses(node(body), 0);
    return bodyNode(body).getStressColors();
  }
  /// The joint nodes of a piece.
  std::vector<SceneStress*> jointsOf(const std::string& body) {
    std::vector<SceneStress*> found;
    for (SceneStress* joint : joints(fractureNode()))
      if (joint->body1Name() == body.c_str() || joint->body2Name() == body.c_str()) found.push_back(joint);
    return found;
  }
  /// The mesh shape of a cube.
  static MDagPath meshOf(const std::string& transform) {
    MDagPath path;
    MDagPath::getAPathTo(node("pieceShape" + transform.substr(5)), path);
    return path;
  }
  /// The mesh of a cube without its history, so that its colour sets can be
  /// edited.
  static MDagPath editableMeshOf(const std::string& transform, const std::string& creator) {
    run("disconnectAttr " + creator + ".output pieceShape" + transform.substr(5) + ".inMesh");
    return meshOf(transform);
  }

  std::vector<std::string> block;
};

TEST_F(StressColours, HsvColoursFollowTheirSectors) {
  const struct {
    double h, s, v;
    MColor rgb;
  } cases[] = {
      {0.0, 1.0, 1.0, MColor(1, 0, 0)},      {1.0 / 6.0, 1.0, 1.0, MColor(1, 1, 0)},
      {0.5, 1.0, 1.0, MColor(0, 1, 1)},      {0.75, 1.0, 1.0, MColor(0.5f, 0, 1)},
      {0.666667, 1.0, 1.0, kAtThreshold},    {0.666667, 0.0, 0.25, MColor(0.25f, 0.25f, 0.25f)},
      {0.666667, 1.0, 0.0, MColor(0, 0, 0)}, {0.666667, 0.5, 1.0, MColor(0.5f, 0.5f, 1.0f)},
  };
  for (const auto& c : cases) {
    const MColor got = FractureBodyNode::colorFromHsv(c.h, c.s, c.v);
    EXPECT_NEAR(got.r, c.rgb.r, 1e-6) << c.h << " " << c.s << " " << c.v;
    EXPECT_NEAR(got.g, c.rgb.g, 1e-6) << c.h << " " << c.s << " " << c.v;
    EXPECT_NEAR(got.b, c.rgb.b, 1e-6) << c.h << " " << c.s << " " << c.v;
    EXPECT_EQ(got.a, 1.0f);
  }
  EXPECT_EQ(FractureBodyNode::colorFromHsv(0.666667, 1.0, 1.0).r, kAtThreshold.r);
}

TEST_F(StressColours, AJointAtTheThresholdShowsBlueOnEveryNearVertex) {
  showStress(true);
  // Every change of the strengths recolours while the display is on.
  run("setAttr ZovFractureBody.randomThreshold 10; getAttr ZovFractureBody.ca_randomThreshold");
  run("setAttr ZovFractureBody.randomThreshold 0; getAttr ZovFractureBody.ca_randomThreshold");
  for (const std::string& body : block) {
    const MColorArray& colours = bodyNode(body).getStressColors();
    ASSERT_EQ(colours.length(), 8u) << body;
    for (unsigned int v = 0; v < colours.length(); ++v) {
      EXPECT_EQ(colours[v].r, kAtThreshold.r) << body;
      EXPECT_EQ(colours[v].g, 0.0f);
      EXPECT_EQ(colours[v].b, 1.0f);
    }
  }
  EXPECT_TRUE(ranLine("undoInfo -swf off"));
  testing::flushIdleQueue();
  EXPECT_TRUE(ranLine("refresh -force"));
}

TEST_F(StressColours, UnbreakableJointsShowBlackAndBreakEnergyRed) {
  for (SceneStress* joint : jointsOf(block[0])) joint->setBool("breakByForce", false);
  const MColorArray& dark = coloursOf(block[0]);
  ASSERT_EQ(dark.length(), 8u);
  for (unsigned int v = 0; v < dark.length(); ++v) {
    const MColor& colour = dark[v];
    EXPECT_LT(colour.r, 1e-30f);
    EXPECT_EQ(colour.g, 0.0f);
    EXPECT_LT(colour.b, 1e-30f);
  }
  for (SceneStress* joint : jointsOf(block[0])) joint->setDouble("breakEnergy", 1.0);
  const MColorArray& red = coloursOf(block[0]);
  for (unsigned int v = 0; v < red.length(); ++v) {
    const MColor& colour = red[v];
    EXPECT_EQ(colour.r, 0.5f);
    EXPECT_EQ(colour.g, 0.0f);
    EXPECT_EQ(colour.b, 0.0f);
  }
}

TEST_F(StressColours, AStaticPieceIsBlackAndAChangedJointRecoloursItsPieces) {
  bodyNode(block[1]).engineBody(false)->enableStatic();
  const MColorArray& black = coloursOf(block[1]);
  ASSERT_EQ(black.length(), 8u);
  for (unsigned int v = 0; v < black.length(); ++v) {
    EXPECT_EQ(black[v].r, 0.0f);
    EXPECT_EQ(black[v].g, 0.0f);
    EXPECT_EQ(black[v].b, 0.0f);
  }
  // A weaker joint fades towards white: its saturation is strength / threshold.
  showStress(true);
  SceneStress& joint = *jointsOf(block[0]).front();
  joint.setDouble("forceStrenght", 25.0);
  const MColorArray& colours = bodyNode(block[0]).getStressColors();
  bool faded = false;
  for (unsigned int v = 0; v < colours.length(); ++v) faded = faded || std::fabs(colours[v].r - 0.5f) < 1e-6f;
  EXPECT_TRUE(faded);
}

TEST_F(StressColours, HidingColoursTakesTheMeshBackToItsFirstSet) {
  MFnMesh mesh(editableMeshOf("piece000", "polyCube1"));
  ASSERT_EQ(mesh.numVertices(), 8);
  const MString first = mesh.createColorSetWithName("first");
  const MString second = mesh.createColorSetWithName("second");
  ASSERT_TRUE(mesh.setCurrentColorSetName(second));
  showStress(true);
  showStress(false);
  EXPECT_EQ(MFnMesh(meshOf("piece000")).currentColorSetName(), first);
}

TEST_F(StressColours, AnOlderScenesColourNodesGoWhenItOpens) {
  // A per-vertex colour node fed by a colour-set node on one piece, a lone
  // colour-set node on another, in a scene saved by an older version.
  run("createNode polyColorSet -n paintSet; createNode polyColorPerVertex -n paint");
  run("connectAttr polyCube1.output paintSet.inputPolymesh; connectAttr paintSet.output paint.inputPolymesh");
  run("connectAttr -f paint.output pieceShape000.inMesh");
  run("createNode polyColorSet -n loneSet; connectAttr polyCube2.output loneSet.inputPolymesh");
  run("connectAttr -f loneSet.output pieceShape001.inMesh");
  run("createNode polyColorSet -n elsewhere");
  run("setAttr -type \"string\" zovSolverNode1.version \"3.9\"");
  const zovtest::ScratchFile scratch{"olderFractureScene", ".ma"};
  const std::string& path = scratch.path;
  run("file -rename \"" + path + "\"; file -save");
  run("file -open \"" + path + "\"");
  EXPECT_TRUE(nodesOfType("polyColorPerVertex").empty());
  EXPECT_EQ(nodesOfType("polyColorSet"), std::vector<std::string>{"elsewhere"});
  EXPECT_EQ(getDouble("zovSolverNode1.version"), 4.0);
}

TEST_F(StressColours, WithoutColourNodesTheOldStressSetGoes) {
  MFnMesh third(editableMeshOf("piece010", "polyCube3"));
  third.createColorSetWithName("colorStresses");
  third.createColorSetWithName("keep");
  fractureNode().removeStressColors();
  MStringArray sets;
  MFnMesh(meshOf("piece010")).getColorSetNames(sets);
  ASSERT_EQ(sets.length(), 1u);
  EXPECT_EQ(sets[0], MString("keep"));
}

/// The block seen down -z through an orthographic camera 4 units across.
class PieceDrawing : public StressColours {
 protected:
  void SetUp() override {
    StressColours::SetUp();
    run("setAttr zovSolverNode1.displaySelected 0; getAttr zovSolverNode1.ca_displaySelected");
    run("camera -n eye; setAttr eyeShape.orthographic 1; setAttr eye.translate 1 1 10");
    run("setAttr eyeShape.orthographicWidth 4");
    run("select -cl");
  }
  static zovhost::RenderImage render(const std::string& renderer) {
    return testing::renderView("eye", 64, 64, renderer);
  }
  /// Where x (or y) of the z = 0 plane shows: 16 pixels a unit from -1.
  static int pixelOf(double x) { return static_cast<int>(std::lround(16.0 * (x + 1.0))); }
  static bool near(const uint8_t* p, const Rgb& rgb) {
    return std::abs(p[0] - rgb[0]) <= 1 && std::abs(p[1] - rgb[1]) <= 1 && std::abs(p[2] - rgb[2]) <= 1;
  }
  static bool shownNear(const zovhost::RenderImage& image, int x, int y, const Rgb& rgb) {
    for (int v = y - 1; v <= y + 1; ++v)
      for (int u = x - 1; u <= x + 1; ++u)
        if (near(image.pixel(u, v), rgb)) return true;
    return false;
  }
};

TEST_F(PieceDrawing, PiecesDrawTheirStressColoursOrThePieceColours) {
  const char* const renderers[] = {"legacy", "opengl", "core", "dx"};
  showStress(true);
  fractureNode().refreshStressDisplay();
  for (const char* renderer : renderers) {
    const zovhost::RenderImage image = render(renderer);
    // Inside the block's square, off its edges: filled with the stress colour.
    for (double at : {0.25, 0.75, 1.25, 1.75})
      EXPECT_TRUE(near(image.pixel(pixelOf(at), pixelOf(at)), {0, 0, 255})) << renderer << " " << at;
  }
  showStress(false);
  const struct {
    const char* state;
    const char* lines;
    bool pieceStatic;
    Rgb rgb;
  } rows[] = {
      {"piece", "setAttr ZovFractureBody.selected 0", false, {153, 77, 0}},
      {"piece of a selected fracture body", "setAttr ZovFractureBody.selected 1", false, {230, 153, 0}},
      {"static piece", "setAttr ZovFractureBody.selected 0", true, {0, 0, 255}},
      {"static piece of a selected fracture body", "setAttr ZovFractureBody.selected 1", true, {0, 255, 255}},
  };
  for (const auto& row : rows) {
    run(row.lines);
    for (const std::string& body : block) {
      HardBody* engine = bodyNode(body).engineBody(false);
      if (row.pieceStatic)
        engine->enableStatic();
      else
        engine->disableStatic();
    }
    for (const char* renderer : renderers) {
      const zovhost::RenderImage image = render(renderer);
      // The outlines: the cubes' edges at x = 0, 1, 2, halfway up a cube.
      for (double x : {0.0, 1.0, 2.0})
        EXPECT_TRUE(shownNear(image, pixelOf(x), pixelOf(0.5), row.rgb)) << row.state << " " << renderer << " " << x;
      EXPECT_FALSE(near(image.pixel(pixelOf(0.5), pixelOf(0.5)), row.rgb)) << row.state << " " << renderer;
    }
  }
}

// While the host plays, the pieces show their stress, drawn from what the
// override prepared before, and without stress display nothing. Shown
// stress is highlighted when a piece and its fracture body are both
// selected, neither alone: OpenGL's renderers keep of the red thousandths
// only the bits that 1000 lacks and set 1000's bits in the green ones, so
// the red of joints with break energy, 1000 thousandths, becomes
// (1000 AND NOT 1000, 0 OR 1000, 0): green; Direct3D keeps the colours.
TEST_F(PieceDrawing, StressShowsWhilePlayingAndTheSelectedPiecesOfASelectedBodyLightUpGreen) {
  const char* const renderers[] = {"legacy", "opengl", "core", "dx"};
  const auto filled = [](const zovhost::RenderImage& image, const Rgb& rgb) {
    bool all = true;
    for (double at : {0.25, 0.75, 1.25, 1.75}) all = all && near(image.pixel(pixelOf(at), pixelOf(at)), rgb);
    return all;
  };
  for (bool shown : {true, false}) {
    showStress(shown);
    if (shown) fractureNode().refreshStressDisplay();
    for (const char* renderer : renderers) {
      render(renderer);
      testing::setPlaying(true);
      const zovhost::RenderImage image = render(renderer);
      testing::setPlaying(false);
      if (shown) {
        EXPECT_TRUE(filled(image, {0, 0, 255})) << renderer;
      } else {
        EXPECT_EQ(testing::litPixels(image, testing::viewBackground()), 0) << renderer;
      }
    }
  }
  for (SceneStress* joint : joints(fractureNode())) joint->setDouble("breakEnergy", 1.0);
  showStress(true);
  fractureNode().refreshStressDisplay();
  for (bool piecesSelected : {false, true}) {
    for (const std::string& body : block) MPlug(node(body), rigidBodyNode::selected).setValue(piecesSelected);
    for (bool bodySelected : {false, true}) {
      run(std::string("setAttr ZovFractureBody.selected ") + (bodySelected ? "1" : "0"));
      for (const char* renderer : renderers) {
        const bool lit = piecesSelected && bodySelected && std::string(renderer) != "dx";
        EXPECT_TRUE(filled(render(renderer), lit ? Rgb{0, 255, 0} : Rgb{255, 0, 0}))
            << renderer << " pieces " << piecesSelected << " body " << bodySelected;
      }
    }
  }
}

}  // namespace
