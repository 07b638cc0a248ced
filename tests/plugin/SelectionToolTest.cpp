#include <maya/M3dView.h>
#include <maya/MSelectionMask.h>

#include <string>
#include <vector>

#include "CommandFixture.h"
#include "src/simulation/selectZovContext.h"

namespace {

MSelectionMask::SelectionType selectionType(int number) { return static_cast<MSelectionMask::SelectionType>(number); }

class SelectionTool : public CommandTest {
 protected:
  /// The tool made and made current; answers its name.
  static std::string switchOn() {
    std::vector<std::string> name;
    EXPECT_TRUE(runs("selectZovContext", &name));
    EXPECT_EQ(name.size(), 1u);
    run("setToolTo " + name.at(0));
    return name.at(0);
  }
  static int selectPathRuns() {
    int count = 0;
    for (const auto& command : zovhost::testing::commands())
      if (command.line == "zovSelectPath()") ++count;
    return count;
  }
};

TEST_F(SelectionTool, SwitchingOffGivesBackTheModeAndMaskOfBeforeAndShowsItself) {
  MSelectionMask components(selectionType(31));
  components.addMask(selectionType(34));
  const MSelectionMask objects(selectionType(12));
  for (const MGlobal::MSelectionMode mode : {MGlobal::kSelectComponentMode, MGlobal::kSelectObjectMode}) {
    MGlobal::setSelectionMode(mode);
    MGlobal::setComponentSelectionMask(components);
    MGlobal::setObjectSelectionMask(objects);
    const std::string tool = switchOn();
    auto* context = dynamic_cast<SelectZovContext*>(zovhost::testing::currentToolContext());
    ASSERT_NE(context, nullptr);
    EXPECT_EQ(context->titleString(), MString(" Zov interactive selection"));
    EXPECT_EQ(context->image(MPxContext::kImage1), MString("zovToolIcon.xpm"));
    EXPECT_EQ(context->helpString(), MString("select zov entities interactively when a zov window is open"));
    EXPECT_TRUE(context->cursor() == MCursor::doubleCrossHairCursor);
    // A pick leaves object mode and the picking mask behind.
    run("viewEvent -press 0 0; viewEvent -release 1 1");
    EXPECT_EQ(MGlobal::selectionMode(), MGlobal::kSelectObjectMode);
    EXPECT_TRUE(MGlobal::componentSelectionMask() == MSelectionMask(selectionType(29)));
    run("setToolTo selectSuperContext");
    EXPECT_EQ(MGlobal::selectionMode(), mode);
    // The mask of the mode the user was in comes back.
    if (mode == MGlobal::kSelectComponentMode) {
      EXPECT_TRUE(MGlobal::componentSelectionMask() == components);
    } else {
      EXPECT_TRUE(MGlobal::objectSelectionMask() == objects);
    }
  }
}

TEST_F(SelectionTool, AMarqueeReplacesTheSelectionWhateverKeysAreHeld) {
  // Three unit cubes along x at -3, 0 and 3 seen from +z by an orthographic
  // camera 10 units wide in the 64 x 64 port: the cubes cover pixels
  // 9.6 .. 16, 28.8 .. 35.2 and 48 .. 54.4 across, 28.8 .. 35.2 up.
  run("polyCube -n left; polyCube -n middle; polyCube -n right");
  run("setAttr left.translateX -3; setAttr right.translateX 3");
  std::vector<std::string> camera;
  ASSERT_TRUE(runs("camera -n eye", &camera));
  run("setAttr " + camera.at(0) + ".translateZ 20; setAttr eyeShape.orthographic 1");
  run("setAttr eyeShape.orthographicWidth 10");
  MDagPath eye;
  ASSERT_TRUE(MDagPath::getAPathTo(node("eyeShape"), eye));
  ASSERT_TRUE(M3dView::active3dView().setCamera(eye));
  switchOn();

  for (const char* modifiers : {"", "-shift", "-control", "-shift -control"}) {
    run("select right");
    zovhost::testing::clearLogs();
    run(std::string("viewEvent -press ") + modifiers + " 5 20");
    run("viewEvent -hold 20 30");
    run("viewEvent -drag 30 35");
    run(std::string("viewEvent -release ") + modifiers + " 40 40");
    EXPECT_EQ(zovhost::testing::selectedNames(), (std::vector<std::string>{"left", "middle"})) << modifiers;
    EXPECT_EQ(selectPathRuns(), 1) << modifiers;
  }
  // A marquee that meets nothing empties the selection.
  run("viewEvent -press 0 60; viewEvent -release 63 63");
  EXPECT_TRUE(zovhost::testing::selectedNames().empty());
}

}  // namespace
