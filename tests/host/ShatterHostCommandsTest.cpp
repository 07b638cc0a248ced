#include "DagSupport.h"
#include "HostFixture.h"

#include <maya/MItSelectionList.h>
#include <maya/MProgressWindow.h>
#include <maya/MTimer.h>

#include <thread>

namespace {

using namespace dagtest;

bool visible(const std::string& name) {
  bool value = false;
  plug(name, "visibility").getValue(value);
  return value;
}

std::string parentOf(const std::string& name) {
  MDagPath p = path(name);
  p.pop();
  return p.length() == 0 ? std::string() : p.partialPathName().asChar();
}

class ShatterHostCommands : public HostTest {};

TEST_F(ShatterHostCommands, HideSwitchesVisibilityOffUntilUndone) {
  run("polyCube -n a");
  run("polyCube -n b");
  runUndoable("hide a bShape");
  EXPECT_FALSE(visible("a"));
  EXPECT_FALSE(visible("bShape"));
  EXPECT_TRUE(visible("b"));
  runUndoable("undo");
  EXPECT_TRUE(visible("a"));
  EXPECT_TRUE(visible("bShape"));
  run("select b");
  run("hide");
  EXPECT_FALSE(visible("b"));
  run("select -clear");
  EXPECT_TRUE(lineFails("hide"));
  EXPECT_TRUE(lineFails("hide noSuchNode"));
}

TEST_F(ShatterHostCommands, EmptyGroupsAnswerTheirNameAndTakeChildrenFromParent) {
  run("polyCube -n a");
  run("group -em -name holder");
  EXPECT_EQ(run("group -em -name G -parent holder"), (std::vector<std::string>{"G"}));
  EXPECT_EQ(run("group -em -name G"), (std::vector<std::string>{"G1"}));
  EXPECT_EQ(parentOf("G"), "holder");
  run("polyCube -n b");
  run("parent a b G");
  EXPECT_EQ(parentOf("a"), "G");
  EXPECT_EQ(parentOf("b"), "G");
}

TEST_F(ShatterHostCommands, NoContextMessagesAndRecordedCommands) {
  zovhost::testing::clearLogs();
  run("warning -noContext \"shatter history\"");
  EXPECT_TRUE(zovhost::testing::hasMessage(zovhost::testing::MessageKind::Warning, "shatter history"));
  EXPECT_TRUE(lineFails("error -noContext \"abort\""));
  EXPECT_TRUE(zovhost::testing::hasMessage(zovhost::testing::MessageKind::Error, "abort"));
  run("waitCursor -state on");
  run("waitCursor -state off");
  size_t cursorLines = 0;
  for (const auto& command : zovhost::testing::commands())
    if (command.line.rfind("waitCursor", 0) == 0) ++cursorLines;
  EXPECT_EQ(cursorLines, 2u);
}

TEST_F(ShatterHostCommands, FlushUndoEmptiesTheUndoQueue) {
  run("polyCube -n a");
  runUndoable("hide a");
  EXPECT_GT(zovhost::testing::undoCount(), 0u);
  run("flushUndo");
  EXPECT_EQ(zovhost::testing::undoCount(), 0u);
  EXPECT_EQ(zovhost::testing::redoCount(), 0u);
  EXPECT_FALSE(visible("a"));
}

TEST_F(ShatterHostCommands, TheGeometryFilterPassesMeshesSurfacesAndCurves) {
  run("polyCube -n box");
  run("createNode nurbsSurface -n sheetShape");
  run("curve -d 1 -p 0 0 0 -p 1 0 0 -n line");
  run("group -em -name empty");
  run("createNode transform -n bare");
  run("select box sheetShape line empty bare");
  MSelectionList selection;
  MGlobal::getActiveSelectionList(selection);
  std::vector<MFn::Type> kinds;
  for (MItSelectionList it(selection, MFn::kGeometric); !it.isDone(); it.next()) {
    MDagPath item;
    ASSERT_TRUE(it.getDagPath(item));
    kinds.push_back(item.apiType());
  }
  EXPECT_EQ(kinds, (std::vector<MFn::Type>{MFn::kMesh, MFn::kNurbsSurface, MFn::kNurbsCurve}));
  run("select empty bare");
  MGlobal::getActiveSelectionList(selection);
  EXPECT_TRUE(MItSelectionList(selection, MFn::kGeometric).isDone());
}

TEST_F(ShatterHostCommands, TheProgressWindowIsHeldByOneToolAtATime) {
  ASSERT_TRUE(MProgressWindow::reserve());
  EXPECT_FALSE(MProgressWindow::reserve());
  EXPECT_TRUE(MProgressWindow::setProgressRange(0, 300));
  EXPECT_TRUE(MProgressWindow::setTitle("Precutting.."));
  EXPECT_TRUE(MProgressWindow::setInterruptable(true));
  EXPECT_TRUE(MProgressWindow::startProgress());
  EXPECT_TRUE(MProgressWindow::setProgress(0));
  MProgressWindow::advanceProgress(40);
  MProgressWindow::advanceProgress(1000);
  EXPECT_EQ(MProgressWindow::progress(), 300);
  EXPECT_EQ(MProgressWindow::title(), MString("Precutting.."));
  EXPECT_FALSE(MProgressWindow::isCancelled());
  EXPECT_TRUE(MProgressWindow::endProgress());
  EXPECT_FALSE(zovhost::testing::progressWindowHeld());
  // Without the reservation nothing changes.
  EXPECT_FALSE(MProgressWindow::setTitle("x"));
  EXPECT_FALSE(MProgressWindow::endProgress());
  zovhost::testing::holdProgressWindow(true);
  EXPECT_FALSE(MProgressWindow::reserve());
}

TEST_F(ShatterHostCommands, TheUserCancelsAfterTheGivenNumberOfQuestions) {
  zovhost::testing::cancelProgressAfter(2);
  ASSERT_TRUE(MProgressWindow::reserve());
  MProgressWindow::setInterruptable(true);
  MProgressWindow::startProgress();
  EXPECT_FALSE(MProgressWindow::isCancelled());
  EXPECT_FALSE(MProgressWindow::isCancelled());
  EXPECT_TRUE(MProgressWindow::isCancelled());
  MProgressWindow::endProgress();
  // A window that cannot be interrupted is never cancelled.
  ASSERT_TRUE(MProgressWindow::reserve());
  MProgressWindow::startProgress();
  for (int i = 0; i < 4; ++i) EXPECT_FALSE(MProgressWindow::isCancelled());
  MProgressWindow::endProgress();
}

TEST_F(ShatterHostCommands, TheTimerMeasuresTheTimeBetweenItsEnds) {
  MTimer timer;
  timer.beginTimer();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  timer.endTimer();
  EXPECT_GE(timer.elapsedTime(), 0.019);
  EXPECT_LT(timer.elapsedTime(), 10.0);
  timer.clear();
  EXPECT_EQ(timer.elapsedTime(), 0.0);
}

}  // namespace

namespace {

TEST_F(ShatterHostCommands, AProgressCallMadeToFailFailsOnceAndTheRunIsKeptAfterItEnds) {
  zovhost::testing::failProgressCall(3);
  ASSERT_TRUE(MProgressWindow::reserve());
  EXPECT_TRUE(MProgressWindow::setProgressRange(0, 100));
  EXPECT_TRUE(MProgressWindow::setTitle("Building.."));
  EXPECT_FALSE(MProgressWindow::startProgress());
  EXPECT_TRUE(MProgressWindow::setProgress(40));
  EXPECT_TRUE(MProgressWindow::setProgress(100));
  EXPECT_TRUE(MProgressWindow::endProgress());
  EXPECT_EQ(zovhost::testing::lastProgressTitle(), "Building..");
  EXPECT_EQ(zovhost::testing::lastProgressValues(), (std::vector<int>{40, 100}));
  // Each run counts its calls anew.
  ASSERT_TRUE(MProgressWindow::reserve());
  EXPECT_TRUE(MProgressWindow::setProgressRange(0, 10));
  EXPECT_TRUE(MProgressWindow::setTitle("Again"));
  EXPECT_FALSE(MProgressWindow::startProgress());
  EXPECT_TRUE(MProgressWindow::endProgress());
  EXPECT_TRUE(zovhost::testing::lastProgressValues().empty());
}

}  // namespace
