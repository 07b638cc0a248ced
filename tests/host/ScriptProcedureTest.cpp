#include <maya/MGlobal.h>
#include <unistd.h>
#include <zovhost/Application.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "HostFixture.h"

namespace {

using zovhost::testing::hasMessage;
using zovhost::testing::MessageKind;

class ScriptProcedures : public HostTest {};

TEST_F(ScriptProcedures, DefinedProceduresRunTheirBodiesWhenCalled) {
  ASSERT_TRUE(
      MGlobal::executeCommand("// the interface script\n"
                              "global proc string makeCube() {\n"
                              "  polyCube;\n"
                              "  print \"made } {\";\n"  // braces inside a string are not the body's
                              "}\n"
                              "proc twoCubes() { makeCube; makeCube; }\n"
                              "print \"defined\""));
  EXPECT_TRUE(hasMessage(MessageKind::Print, "defined"));
  EXPECT_FALSE(hasMessage(MessageKind::Print, "made"));  // nothing ran at definition
  ASSERT_TRUE(MGlobal::executeCommand("twoCubes"));
  EXPECT_TRUE(MGlobal::executeCommand("select pCube2"));
  EXPECT_TRUE(hasMessage(MessageKind::Print, "made } {"));
  // A new definition replaces the old one.
  ASSERT_TRUE(MGlobal::executeCommand("global proc twoCubes() { print \"none\"; }"));
  ASSERT_TRUE(MGlobal::executeCommand("twoCubes()"));
  EXPECT_TRUE(hasMessage(MessageKind::Print, "none"));
  EXPECT_FALSE(MGlobal::executeCommand("select pCube3"));
}

TEST_F(ScriptProcedures, BadDefinitionsAndEndlessCallsAreErrors) {
  const char* bad[] = {
      "global proc withArgument(string $name) { print $name; }",
      "global proc noBody()",
      "global proc unclosed() { print \"x\";",
  };
  for (const char* line : bad) EXPECT_FALSE(MGlobal::executeCommand(line)) << line;
  EXPECT_FALSE(MGlobal::executeCommand("unclosed"));  // nothing was defined

  ASSERT_TRUE(MGlobal::executeCommand("proc forever() { forever; }"));
  EXPECT_FALSE(MGlobal::executeCommand("forever"));
  EXPECT_TRUE(hasMessage(MessageKind::Error, "nested too deeply"));
}

TEST_F(ScriptProcedures, SourceRunsAScriptFoundOnTheScriptPath) {
  const std::string folder = ::testing::TempDir();
  const std::string name = "zovhost_source_" + std::to_string(getpid()) + ".mel";
  {
    std::ofstream out(folder + "/" + name);
    out << "global proc greeting() { print \"hello\"; }\n"
           "optionVar -sv \"sourced\" \"yes\";\n";
  }
  zovhost::testing::clearLogs();
  EXPECT_FALSE(MGlobal::executeCommand(("source " + name).c_str()));  // not on the path yet
  EXPECT_TRUE(hasMessage(MessageKind::Error, "Cannot find file \"" + name + "\" for source statement."));
  zovhost::app::addScriptPath(folder);
  ASSERT_TRUE(MGlobal::executeCommand(("source " + name).c_str()));
  MString answer;
  ASSERT_TRUE(MGlobal::executeCommand("optionVar -q \"sourced\"", answer));
  EXPECT_EQ(answer, MString("yes"));
  // The script's procedures stay defined after it ran.
  ASSERT_TRUE(MGlobal::executeCommand("greeting"));
  EXPECT_TRUE(hasMessage(MessageKind::Print, "hello"));
  EXPECT_FALSE(MGlobal::executeCommand("source"));
  EXPECT_FALSE(MGlobal::executeCommand(("source " + name + " " + name).c_str()));
  std::remove((folder + "/" + name).c_str());
}

}  // namespace
