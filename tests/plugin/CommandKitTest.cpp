// The command kit: syntax from a flag table, arguments read through the
// flags, and a selection sorted by kind with the module's warnings.
#include <maya/MAnimControl.h>
#include <maya/MArgList.h>

#include <string>
#include <vector>

#include "CommandFixture.h"
#include "src/commandArguments.h"
#include "src/commandSelection.h"
#include "src/simulation/rigidBodyNode.h"

namespace {

using namespace zovhost::testing;

constexpr CommandFlag kCount{"-ns", "-numShards", MSyntax::kUnsigned};
constexpr CommandFlag kWidth{"-wd", "-width", MSyntax::kDouble};
constexpr CommandFlag kName{"-n", "-name", MSyntax::kString};
constexpr CommandFlag kSwitch{"-sw", "-switch"};

class CommandKit : public CommandTest {};

MArgList argumentsOf(const std::vector<std::string>& words) {
  MArgList list;
  for (const std::string& word : words) list.addWord(word, false);
  return list;
}

TEST_F(CommandKit, ASyntaxHoldsTheTableFlagsInOrderWithTheirArgumentsAndNoQueryOrEdit) {
  const MSyntax syntax = commandSyntax({kCount, kWidth, kName, kSwitch}, givenObjects(1, 2));
  const CommandFlag table[] = {kCount, kWidth, kName, kSwitch};
  ASSERT_EQ(syntax.flags().size(), 4u);
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(syntax.flags()[i].shortName, std::string(table[i].shortName).substr(1)) << i;
    EXPECT_EQ(syntax.flags()[i].longName, std::string(table[i].longName).substr(1)) << i;
    const std::vector<MSyntax::MArgType> none;
    EXPECT_EQ(syntax.flags()[i].arguments,
              table[i].argument == MSyntax::kNoArg ? none : std::vector<MSyntax::MArgType>{table[i].argument});
  }
  EXPECT_EQ(syntax.objectFormat(), MSyntax::kSelectionList);
  EXPECT_EQ(syntax.minObjects(), 1u);
  EXPECT_EQ(syntax.maxObjects(), 2u);
  EXPECT_FALSE(syntax.selectionAsDefault() || syntax.queryEnabled() || syntax.editEnabled());
  EXPECT_EQ(commandSyntax({}).objectFormat(), MSyntax::kNone);
  EXPECT_TRUE(commandSyntax({}, kSelectedObjects).selectionAsDefault());
}

TEST_F(CommandKit, ArgumentsReadTheirFlagsAndCheckRangesAndNamesUnderTheCommandsName) {
  CommandArguments arguments("kitTest");
  unsigned int count = 7;
  EXPECT_FALSE(arguments.read(kCount, count));
  EXPECT_TRUE(arguments.objects().length() == 0 && count == 7);
  const MSyntax syntax = commandSyntax({kCount, kWidth, kName, kSwitch});
  ASSERT_TRUE(arguments.parse(syntax, argumentsOf({"-ns", "100", "-wd", "0.001", "-sw"})));
  // A value the host refuses keeps the arguments parsed before.
  EXPECT_FALSE(arguments.parse(syntax, argumentsOf({"-ns", "many"})));
  EXPECT_TRUE(arguments.isSet(kSwitch) && !arguments.isSet(kName));
  EXPECT_TRUE(arguments.readInRange(kCount, {1.0, 64.0, false, true}, count));
  EXPECT_EQ(count, 64u);
  EXPECT_TRUE(hasMessage(MessageKind::Warning, "kitTest: -numShards takes values from 1 to 64; 100 is taken as 64"));
  double width = 0.5;
  EXPECT_FALSE(arguments.readInRange(kWidth, {0.01, 2.0}, width));
  EXPECT_TRUE(hasMessage(MessageKind::Error, "kitTest: -width takes values from 0.01 to 2, not 0.001"));
  EXPECT_EQ(width, 0.5);
  EXPECT_FALSE(arguments.checkNodeName(kName, "two words"));
  EXPECT_TRUE(hasMessage(MessageKind::Error, "kitTest: -name \"two words\" is not a valid node name"));
}

TEST_F(CommandKit, ASelectionGivesItsNodesOfAKindInOrderAndWarnsOfTheOthers) {
  run("playbackOptions -min 1 -max 24; zovSolver");
  run("polyCube -n a; polyCube -n b; polySphere -n c");
  ASSERT_TRUE(runs("select a b; new_ZOVBody"));
  run("select -r b c aZovBody bZovBody");
  MSelectionList list;
  MGlobal::getActiveSelectionList(list);
  const std::vector<rigidBodyNode*> bodies = selectedNodes<rigidBodyNode>(list, LeftOut{"kitTest", "a body"});
  ASSERT_EQ(bodies.size(), 2u);
  EXPECT_EQ(MFnDependencyNode(bodies[0]->thisMObject()).name(), "aZovBody");
  EXPECT_TRUE(hasMessage(MessageKind::Warning, "kitTest: b is not a body, it is left out"));
  EXPECT_TRUE(hasMessage(MessageKind::Warning, "kitTest: c is not a body, it is left out"));
  // Through a filter a transform stands for its shape of that kind.
  EXPECT_EQ(selectedNodes<rigidBodyNode>(list, MFn::kPluginLocatorNode).size(), 3u);

  // Meshes: a transform for its mesh, NURBS told, the walk stopped on request.
  run("createNode nurbsSurface -n plateShape; select -r surface1 a c");
  MGlobal::getActiveSelectionList(list);
  std::vector<std::string> met;
  EXPECT_TRUE(forEachSelectedMesh(list, true, [&met](const SelectedMesh& mesh) {
    met.push_back(MFnDependencyNode(mesh.transform.node()).name().asChar());
    return met.size() < 1;
  }));
  EXPECT_EQ(met, std::vector<std::string>{"a"});
  EXPECT_TRUE(hasMessage(MessageKind::Info, " ZOV doesnt work on NURBS, convert it to poly."));
}

TEST_F(CommandKit, TheModulesLinesEndACommandThatCannotGoOn) {
  EXPECT_FALSE(requireObjects(MSelectionList()));
  EXPECT_TRUE(hasMessage(MessageKind::Error, "invalid selection"));
  EXPECT_FALSE(failWithInfo("nothing to do"));
  EXPECT_TRUE(hasMessage(MessageKind::Info, "nothing to do"));
  run("playbackOptions -min 1 -max 24; currentTime 5");
  rewindToStart(" back to the start");
  EXPECT_EQ(MAnimControl::currentTime().value(), 1.0);
  EXPECT_TRUE(hasMessage(MessageKind::Warning, " back to the start"));
  run("polyCube -n p; group -em -n other; parent -add -s pShape other");
  MSelectionList list;
  list.add("p|pShape");
  MDagPath shape;
  ASSERT_TRUE(list.getDagPath(0, shape));
  EXPECT_TRUE(refuseInstance(shape));
  EXPECT_TRUE(hasMessage(MessageKind::Error, "is an instance, convert it to object"));
}

}  // namespace
