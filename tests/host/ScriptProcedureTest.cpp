#include <maya/MGlobal.h>
#include <zovhost/Application.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "HostFixture.h"
#include "support/ScratchFile.h"

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
  const zovtest::ScratchFile script{"zovhost_source_", ".mel"};
  const std::string folder = zovtest::scratchFolder();
  const std::string name = std::filesystem::path(script.path).filename().string();
  {
    std::ofstream out(script.path);
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
}

TEST_F(ScriptProcedures, SourceSkipsAByteOrderMarkAndRefusesScriptsThatSourceThemselves) {
  const std::string folder = zovtest::scratchFolder();
  const zovtest::ScratchFile markedFile{"zovhost_marked_", ".mel"};
  const zovtest::ScratchFile loopingFile{"zovhost_looping_", ".mel"};
  const std::string& marked = markedFile.path;
  const std::string& looping = loopingFile.path;
  std::ofstream(marked) << "\xEF\xBB\xBFoptionVar -sv \"marked\" \"read\";\n";
  std::ofstream(looping) << "source \"" << looping << "\";\n";
  ASSERT_TRUE(MGlobal::executeCommand(("source \"" + marked + "\"").c_str()));
  MString answer;
  ASSERT_TRUE(MGlobal::executeCommand("optionVar -q \"marked\"", answer));
  EXPECT_EQ(answer, MString("read"));
  EXPECT_FALSE(MGlobal::executeCommand(("source \"" + looping + "\"").c_str()));
  EXPECT_TRUE(hasMessage(MessageKind::Error, "it sources itself"));
  EXPECT_FALSE(MGlobal::executeCommand(("source \"" + folder + "\"").c_str()));  // a folder is no script
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
  const zovtest::ScratchFile scratch{"zovhost_lines_", ".mel"};
  const std::string& script = scratch.path;
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

  // A folder is not a script: an error and a failing exit.
  output.clear();
  EXPECT_NE(runHost(zovtest::scratchFolder(), output), 0);
  EXPECT_NE(output.find("it is a folder"), std::string::npos) << output;
}

}  // namespace
