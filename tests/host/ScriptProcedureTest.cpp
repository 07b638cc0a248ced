#include <maya/MGlobal.h>
#include <unistd.h>
#include <zovhost/Application.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "HostFixture.h"

namespace {

using namespace zovhost::testing;

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

TEST_F(ScriptProcedures, SourceSkipsAByteOrderMarkAndRefusesScriptsThatSourceThemselves) {
  const std::string folder = ::testing::TempDir();
  const std::string marked = folder + "/zovhost_marked_" + std::to_string(getpid()) + ".mel";
  const std::string looping = folder + "/zovhost_looping_" + std::to_string(getpid()) + ".mel";
  std::ofstream(marked) << "\xEF\xBB\xBFoptionVar -sv \"marked\" \"read\";\n";
  std::ofstream(looping) << "source \"" << looping << "\";\n";
  ASSERT_TRUE(MGlobal::executeCommand(("source \"" + marked + "\"").c_str()));
  MString answer;
  ASSERT_TRUE(MGlobal::executeCommand("optionVar -q \"marked\"", answer));
  EXPECT_EQ(answer, MString("read"));
  EXPECT_FALSE(MGlobal::executeCommand(("source \"" + looping + "\"").c_str()));
  EXPECT_TRUE(hasMessage(MessageKind::Error, "it sources itself"));
  EXPECT_FALSE(MGlobal::executeCommand(("source \"" + folder + "\"").c_str()));  // a folder is no script
  std::remove(marked.c_str());
  std::remove(looping.c_str());
}

/// Runs zovhost-run on a script; its exit status and what it printed.
int runHost(const std::string& script, std::string& output) {
  const std::string command = std::string(ZOV_HOST_RUN_PATH) + " " + script + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return -1;
  char buffer[256];
  while (std::fgets(buffer, sizeof buffer, pipe)) output += buffer;
  return pclose(pipe);
}

TEST_F(ScriptProcedures, TheCommandLineHostRunsProceduresSpreadOverLines) {
  const std::string script = ::testing::TempDir() + "/zovhost_lines_" + std::to_string(getpid()) + ".mel";
  std::ofstream(script) << "global proc string twice(string $word)\n"
                           "{\n"
                           "  return ($word + $word);\n"
                           "}\n"
                           "twice \"ab\"\n"
                           "if (1)\n"
                           "  print \"taken\\n\";\n";
  std::string output;
  EXPECT_EQ(runHost(script, output), 0) << output;
  EXPECT_NE(output.find("// Result: abab //"), std::string::npos) << output;
  EXPECT_NE(output.find("taken"), std::string::npos) << output;
  std::remove(script.c_str());

  // A folder is not a script: an error and a failing exit.
  output.clear();
  EXPECT_NE(runHost(::testing::TempDir(), output), 0);
  EXPECT_NE(output.find("it is a folder"), std::string::npos) << output;
}

}  // namespace
