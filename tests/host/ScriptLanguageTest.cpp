// The host's script language: values and operators, variables and their
// scopes, procedures, control flow, back-quoted commands, and what bad
// scripts get.
#include "HostFixture.h"
#include "support/RefusedLines.h"

#include <maya/MArgList.h>
#include <maya/MGlobal.h>
#include <maya/MPxCommand.h>
#include <maya/MStringArray.h>

#include <string>

namespace {

using namespace zovhost::testing;

/// Stands in for the fracture layer's query: "-gtn NAME" gives the names of
/// the transforms whose names start with NAME.
class TransformQuery : public MPxCommand {
 public:
  static void* creator() { return new TransformQuery; }
  MStatus doIt(const MArgList& arguments) override {
    MStringArray all;
    MGlobal::executeCommand("ls -type transform", all);
    const MString prefix = arguments.asString(1);
    for (unsigned int i = 0; i < all.length(); ++i)
      if (all[i].substring(0, static_cast<int>(prefix.length()) - 1) == prefix) appendToResult(all[i]);
    return MS::kSuccess;
  }
};

class ScriptLanguage : public HostTest {
 protected:
  static std::string text(const std::string& line) {
    MString value;
    EXPECT_TRUE(MGlobal::executeCommand(MString(line.c_str()), value)) << line;
    return value.asChar();
  }
  static bool run(const std::string& line) { return static_cast<bool>(MGlobal::executeCommand(MString(line.c_str()))); }
};

TEST_F(ScriptLanguage, ExpressionsFollowTheLanguagesArithmetic) {
  const struct {
    const char* expression;
    const char* value;
  } cases[] = {
      {"1 + 2 * 3", "7"},
      {"(1 + 2) * 3", "9"},
      {"7 / 2", "3"},  // whole numbers divide as whole numbers
      {"7.0 / 2", "3.5"},
      {"-7 % 3", "-1"},
      {"2 - 3 - 4", "-5"},                // left to right
      {"2147483647 + 1", "-2147483648"},  // ints are 32 bits
      {"\"a\" + 1 + 2", "a12"},
      {"1 + 2 + \"a\"", "3a"},
      {"1 < 2 && 2 < 3", "1"},
      {"1 > 2 || !1", "0"},
      {"\"abc\" == \"abc\"", "1"},
      {"3 == 3.0", "1"},
      {"size(\"hello\")", "5"},
      {"size({\"a\", \"b\", \"c\"})", "3"},
      {"0 ? \"yes\" : \"no\"", "no"},
      {"1.5e2", "150"},
      {"0x10", "16"},
  };
  for (const auto& c : cases) EXPECT_EQ(text(c.expression), c.value) << c.expression;
}

TEST_F(ScriptLanguage, VariablesKeepTheirTypesAndScopes) {
  // Top-level variables live on for later lines; assignment converts.
  ASSERT_TRUE(run("int $count = 2.9; string $name = \"box\"; float $ratio = \"0.25abc\";"));
  EXPECT_EQ(text("$count"), "2");
  EXPECT_EQ(text("$ratio * 4"), "1");
  EXPECT_EQ(text("$name + $count"), "box2");
  ASSERT_TRUE(run("$count += 3; $count++; $name = $name + \"#\""));
  EXPECT_EQ(text("$count"), "6");
  EXPECT_EQ(text("$name"), "box#");
  // Arrays grow when an element past the end is set.
  ASSERT_TRUE(run("string $list[]; $list[2] = \"c\"; $list[0] = \"a\";"));
  EXPECT_EQ(text("size($list) + \":\" + $list[0] + $list[1] + $list[2]"), "3:ac");

  // A procedure sees a global only where it declares it; its locals stay its own.
  ASSERT_TRUE(run("global int $total = 10;"));
  ASSERT_TRUE(
      run("global proc int addToTotal(int $n) { global int $total; int $count = 100; $total += $n; "
          "return $total; }"));
  EXPECT_EQ(text("addToTotal(5)"), "15");
  EXPECT_EQ(text("$count"), "6");
  ASSERT_TRUE(run("global proc int readsUndeclared() { return $total; }"));
  EXPECT_FALSE(run("readsUndeclared()"));
  EXPECT_TRUE(hasMessage(MessageKind::Error, "\"$total\" is an undeclared variable"));
  // A block's variables end with it.
  ASSERT_TRUE(run("{ int $inner = 1; }"));
  EXPECT_FALSE(run("print $inner"));
}

TEST_F(ScriptLanguage, ProceduresTakeTypedParametersAndArraysByReference) {
  ASSERT_TRUE(run("global proc int factorial(int $n) { if ($n <= 1) return 1; return $n * factorial($n - 1); }"));
  EXPECT_EQ(text("factorial(10)"), "3628800");
  ASSERT_TRUE(run("proc emptyIt(string $items[]) { clear($items); }"));
  ASSERT_TRUE(run("string $kept[] = {\"a\", \"b\"}; emptyIt($kept);"));
  EXPECT_EQ(text("size($kept)"), "0");
  // Command form passes words, converted to the parameters' types.
  ASSERT_TRUE(
      run("global proc string repeat(string $word, int $times) { string $all; "
          "for ($i = 0; $i < $times; $i++) $all += $word; return $all; }"));
  EXPECT_EQ(text("repeat ab 3"), "ababab");
  EXPECT_FALSE(run("repeat(\"ab\")"));
  EXPECT_TRUE(hasMessage(MessageKind::Error, "Wrong number of arguments on call to repeat"));
}

TEST_F(ScriptLanguage, LoopsAndConditionsRunOverCommandResults) {
  ASSERT_TRUE(run("polyCube; polyCube; polyCube;"));
  ASSERT_TRUE(
      run("string $names[] = `ls -type transform`; int $seen = 0;\n"
          "for ($name in $names) {\n"
          "  if ($name == \"pCube2\") continue;\n"
          "  $seen++;\n"
          "  if ($seen == 2) break;\n"
          "}\n"
          "int $left = 3; while ($left > 0) $left--;"));
  EXPECT_EQ(text("$seen"), "2");
  EXPECT_EQ(text("$left"), "0");
  // A command's result as a command's words.
  ASSERT_TRUE(run("select `ls -type mesh`"));
  MStringArray selected;
  ASSERT_TRUE(MGlobal::executeCommand("ls -sl", selected));
  EXPECT_EQ(selected.length(), 3u);
}

// Each body builds $s; `continue` skips the rest of one pass of its own
// loop, `break` ends its own loop only. Each runs at the top level (in a
// block) and inside a procedure.
TEST_F(ScriptLanguage, ContinueAndBreakActOnTheirOwnLoopOnly) {
  const struct {
    const char* body;
    const char* built;
  } cases[] = {
      {"int $i; for ($i = 0; $i < 5; $i++) { if ($i == 2) continue; $s += $i; }", "0134"},
      {"int $i = 0; while ($i < 5) { $i++; if ($i == 2) continue; $s += $i; }", "1345"},
      {"string $w; for ($w in {\"a\", \"b\", \"c\", \"d\"}) { if ($w == \"b\") continue; $s += $w; }", "acd"},
      {"int $i; for ($i = 0; $i < 5; $i++) { if ($i == 3) break; $s += $i; } $s += \"/\" + $i;", "012/3"},
      {"int $i; string $w; for ($i = 0; $i < 3; $i++) { for ($w in {\"a\", \"b\", \"c\"}) { if ($w == \"b\") break; "
       "$s += $i + $w; } }",
       "0a1a2a"},
      {"int $i; int $j; for ($i = 0; $i < 2; $i++) { $j = 0; while ($j < 3) { $j++; if ($j == 2) continue; $s += $j; } "
       "$s += \";\"; }",
       "13;13;"},
      {"int $i = 0; int $j; while (1) { $i++; for ($j = 0; $j < 5; $j++) { if ($j == $i) break; $s += $j; } "
       "if ($i == 3) break; $s += \"|\"; }",
       "0|01|012"},
      {"int $i; int $j; for ($i = 0; $i < 3; $i++) { if ($i == 1) continue; for ($j = 0; $j < 3; $j++) { "
       "if ($j == 1) continue; $s += $i + \"\" + $j + \" \"; } }",
       "00 02 20 22 "},
  };
  ASSERT_TRUE(run("global string $built;"));
  int number = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.body);
    ASSERT_TRUE(run(std::string("{ global string $built; string $s; ") + c.body + " $built = $s; }"));
    EXPECT_EQ(text("$built"), c.built);
    const std::string procedure = "loopCase" + std::to_string(++number);
    ASSERT_TRUE(run("proc string " + procedure + "() { string $s; " + c.body + " return $s; }"));
    EXPECT_EQ(text(procedure + "()"), c.built);
  }
}

TEST_F(ScriptLanguage, QuotedStringsTurnTheirEscapesIntoCharacters) {
  const struct {
    const char* expression;
    const char* value;
  } cases[] = {
      {R"("tab\there")", "tab\there"},
      {R"("line\nbreak")", "line\nbreak"},
      {R"("say \"hi\"")", "say \"hi\""},
      {R"("back\\slash")", "back\\slash"},
      {R"(size("\\n"))", "2"},  // a backslash and an n, not a line break
      {R"(size("\n\t\"\\"))", "4"},
      {R"("\\\"")", "\\\""},
      {R"("ends in a backslash \\")", "ends in a backslash \\"},
  };
  for (const auto& c : cases) EXPECT_EQ(text(c.expression), c.value) << c.expression;
}

TEST_F(ScriptLanguage, TheModulesOwnLinesRun) {
  ASSERT_TRUE(testPlugin().registerCommand("queryZovFBody", TransformQuery::creator));
  ASSERT_TRUE(
      run("global string $zovCurrentSelectedFragments[] = {\"a\", \"b\"}; global string $selectedZovFbody = "
          "\"fb1\"; global string $zovBodiesList = \"list\";\n"
          "global proc setDefaultsZovFbodyParams(string $which) { print (\"defaults\" + $which); }"));
  EXPECT_TRUE(run("setDefaultsZovFbodyParams(\"\")"));
  EXPECT_TRUE(run("clear( $zovCurrentSelectedFragments); $selectedZovFbody=\"\";"));
  EXPECT_EQ(text("size($zovCurrentSelectedFragments) + $selectedZovFbody"), "0");
  EXPECT_TRUE(run("textScrollList -edit -removeAll $zovBodiesList;"));

  ASSERT_TRUE(run("polyCube -n piece1; polyCube -n piece2; polyCube -n other"));
  ASSERT_TRUE(
      run("global string $transformNodeslastSelectedFbody[];"
          "$transformNodeslastSelectedFbody = `queryZovFBody -gtn piece `;"));
  EXPECT_TRUE(run("select $transformNodeslastSelectedFbody;polyOptions -dg false;"));
  MStringArray selected;
  ASSERT_TRUE(MGlobal::executeCommand("ls -sl", selected));
  ASSERT_EQ(selected.length(), 2u);
  EXPECT_EQ(selected[0], MString("piece1"));
  EXPECT_TRUE(run("select -clear;"));
}

TEST_F(ScriptLanguage, ParenthesisedNamesStartCommandsWhoseValuesFollow) {
  ASSERT_TRUE(run("createNode transform -n box; string $node = \"box\"; float $height = 2.5;"));
  const struct {
    const char* script;
    const char* plug;
    double value;
  } cases[] = {
      {"setAttr ($node + \".translateY\") 5", "box.translateY", 5.0},
      {"setAttr($node + \".translateX\") 3;", "box.translateX", 3.0},
      {"setAttr ($node + \".translateZ\") $height", "box.translateZ", 2.5},
      {"setAttr ($node + \".translateY\") -4", "box.translateY", -4.0},
      {"{ setAttr ($node + \".scaleX\") 2; }", "box.scaleX", 2.0},
      {"if (1) setAttr ($node + \".scaleY\") ($height * 2);", "box.scaleY", 5.0},
      {"proc lift(string $n, float $h) { setAttr ($n + \".translateY\") $h; } lift($node, 7);", "box.translateY", 7.0},
      {"for ($i = 0; $i < 2; $i++) { setAttr ($node + \".rotateX\") ($i + 10) }", "box.rotateX", 11.0},
      {"string $set = `setAttr ($node + \".scaleZ\") 3`;", "box.scaleZ", 3.0},
  };
  for (const auto& c : cases) {
    zovhost::testing::clearLogs();
    EXPECT_TRUE(run(c.script)) << c.script;
    double value = 0.0;
    ASSERT_TRUE(MGlobal::executeCommand(MString("getAttr ") + c.plug, value)) << c.script;
    EXPECT_EQ(value, c.value) << c.script;
  }
  // A call followed by nothing or by an operator stays an expression.
  EXPECT_EQ(text("getAttr ($node + \".translateZ\")"), "2.5");
  EXPECT_EQ(text("size($node) - 1"), "2");
  EXPECT_EQ(text("size ($node) * 2"), "6");
}

TEST_F(ScriptLanguage, PrintWritesNumbersAsTheHostDoesAndArraysOneElementALine) {
  const struct {
    const char* line;
    const char* printed;
  } cases[] = {
      {"print 20.0", "20"},
      {"float $f = 20.0; print $f", "20"},
      {"print 1500", "1500"},
      {"float $g = 1500; print $g", "1500"},
      {"print 0.25", "0.25"},
      {"print (0.5 / 2)", "0.25"},
      {"print 1.0e3", "1000"},
      {"print 123456789.0", "123456789"},
      {"print -2.5", "-2.5"},
      {"print 1e-7", "1e-07"},
      {"print 1e20", "1e+20"},
      {"print \"20.0\"", "20.0"},  // a string stays as written
      {"print (\"x = \" + 20.0)", "x = 20"},
      {"float $a[] = {1.5, 2, 0.25}; print $a", "1.5\n2\n0.25\n"},
      {"int $i[] = {7}; print $i", "7\n"},
      {"string $s[] = {\"a\", \"b c\"}; print $s", "a\nb c\n"},
      {"float $none[]; print $none", ""},
  };
  for (const auto& c : cases) {
    zovhost::testing::clearLogs();
    ASSERT_TRUE(run(c.line)) << c.line;
    const auto messages = zovhost::testing::messages();
    ASSERT_FALSE(messages.empty()) << c.line;
    EXPECT_EQ(messages.back().kind, MessageKind::Print) << c.line;
    EXPECT_EQ(messages.back().text, c.printed) << c.line;
  }
}

TEST_F(ScriptLanguage, BadScriptsGetAnErrorAndRunNothing) {
  const zovtest::RefusedLine cases[] = {
      {"polyCube; print \"unterminated", "unterminated string"},
      {"polyCube; if (1) {", "'}' missing"},
      {"polyCube; global proc noBody()", "has no body"},
      {"polyCube; }", "unexpected '}'"},
      {"polyCube; int $x = 1 +;", "unexpected ';'"},
      {"polyCube; vector $v;", "not supported"},
      {"polyCube; 3 = 4;", "can be assigned"},
      {"polyCube; else print 1;", "'else' without 'if'"},
  };
  for (const auto& c : cases) {
    zovtest::expectRefusedLine(c, run);
    EXPECT_FALSE(run("select pCube1")) << c.line;  // the first command did not run either
  }
  // Nesting without end is refused, not followed to the end of the stack.
  EXPECT_FALSE(run(std::string(100000, '(') + "1" + std::string(100000, ')')));
  EXPECT_TRUE(hasMessage(MessageKind::Error, "nests too deeply"));
  EXPECT_FALSE(run(std::string(100000, '{') + std::string(100000, '}')));
  ASSERT_TRUE(run("proc forever() { forever; }"));
  EXPECT_FALSE(run("forever"));
  EXPECT_TRUE(hasMessage(MessageKind::Error, "nested too deeply"));
}

TEST_F(ScriptLanguage, RuntimeErrorsStopTheScriptWhereTheyHappen) {
  const zovtest::RefusedLine cases[] = {
      {"polyCube; print $nothing; polyCube;", "\"$nothing\" is an undeclared variable"},
      {"polyCube; int $x = 1 / 0; polyCube;", "Division by zero"},
      {"polyCube; string $a[]; $a[-1] = \"x\"; polyCube;", "is negative"},
      {"polyCube; string $a[]; $a[1000001] = \"x\"; polyCube;", "too large"},
      {"polyCube; string $a[]; string $b = $a; polyCube;", "Cannot convert data of type string[] to type string"},
      {"polyCube; int $n = 1; clear($n); polyCube;", "is not an array"},
      {"polyCube; global int $g; global string $g; polyCube;", "already declared as int"},
      {"polyCube; noSuchCommand; polyCube;", "Cannot find procedure \"noSuchCommand\""},
  };
  for (const auto& c : cases) {
    zovhost::testing::resetScene();
    zovtest::expectRefusedLine(c, run);
    EXPECT_TRUE(run("select pCube1")) << c.line;   // what ran before stays
    EXPECT_FALSE(run("select pCube2")) << c.line;  // nothing after ran
  }
}

}  // namespace
