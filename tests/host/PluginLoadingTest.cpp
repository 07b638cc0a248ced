#include "HostFixture.h"

#include <maya/MFnDependencyNode.h>
#include <maya/MGlobal.h>
#include <maya/MItDependencyNodes.h>
#include <maya/MStringArray.h>

#include <string>

namespace {

using namespace zovhost::testing;

class PluginLoading : public HostTest {
 protected:
  static MString loadLine() { return MString("loadPlugin \"") + ZOV_TEST_MODULE_PATH + "\""; }
  /// The plug-in's name: its file name without "lib" and the extension.
  static MString moduleName() {
    std::string name = ZOV_TEST_MODULE_PATH;
    name = name.substr(name.rfind('/') + 1);
    name = name.substr(0, name.find('.'));
    return MString(name.compare(0, 3, "lib") == 0 ? name.substr(3) : name);
  }
  static MString unloadLine() { return "unloadPlugin " + moduleName(); }
};

TEST_F(PluginLoading, AModuleLoadsRegistersAndUnloads) {
  const size_t callbacksBefore = zovhost::testing::callbackCount();
  MStringArray loaded;
  ASSERT_TRUE(MGlobal::executeCommand(loadLine(), loaded));
  ASSERT_EQ(loaded.length(), 1u);
  const MString name = loaded[0];
  EXPECT_EQ(name, moduleName());

  int isLoaded = 0;
  ASSERT_TRUE(MGlobal::executeCommand("pluginInfo -q -loaded " + name, isLoaded));
  EXPECT_EQ(isLoaded, 1);
  MString text;
  ASSERT_TRUE(MGlobal::executeCommand("pluginInfo -q -vendor " + name, text));
  EXPECT_EQ(text, MString("Test Vendor"));
  ASSERT_TRUE(MGlobal::executeCommand("pluginInfo -q -version " + name, text));
  EXPECT_EQ(text, MString("2.5"));
  // Its commands in the order it registered them.
  MStringArray commands;
  ASSERT_TRUE(MGlobal::executeCommand("pluginInfo -q -command " + name, commands));
  ASSERT_EQ(commands.length(), 2u);
  EXPECT_EQ(commands[0], MString("dropOwnerType"));
  EXPECT_EQ(commands[1], MString("moduleCommand"));

  // The clashing id failed alone: the first node type and the command work.
  EXPECT_TRUE(hasMessage(MessageKind::Error, "0x7f200 is already in use"));
  EXPECT_FALSE(hasMessage(MessageKind::Error, "the clashing registration succeeded"));
  ASSERT_TRUE(MGlobal::executeCommand("moduleCommand", text));
  EXPECT_EQ(text, MString("module command ran"));
  ASSERT_TRUE(MGlobal::executeCommand("createNode moduleNode", text));
  EXPECT_EQ(text, MString("moduleNode1"));
  EXPECT_FALSE(MGlobal::executeCommand("createNode moduleNodeClash"));
  int value = 0;
  ASSERT_TRUE(MGlobal::executeCommand("getAttr moduleNode1.value", value));
  EXPECT_EQ(value, 3);
  EXPECT_GT(zovhost::testing::callbackCount(), callbacksBefore);

  ASSERT_TRUE(MGlobal::executeCommand("unloadPlugin " + name));
  EXPECT_FALSE(MGlobal::executeCommand("moduleCommand"));
  EXPECT_FALSE(MGlobal::executeCommand("createNode moduleNode"));
  MItDependencyNodes it(MFn::kPluginDependNode);
  EXPECT_TRUE(it.isDone());  // its nodes left the scene with their type
  ASSERT_TRUE(MGlobal::executeCommand("pluginInfo -q -loaded " + name, isLoaded));
  EXPECT_EQ(isLoaded, 0);
  // The callback the module left installed went with it.
  EXPECT_EQ(zovhost::testing::callbackCount(), callbacksBefore);
  EXPECT_TRUE(hasMessage(MessageKind::Warning, "left 1 callback(s) installed"));
  MGlobal::executeCommand("createNode moduleNode");  // would crash if the callback were still there
  MFnDependencyNode().create("time");
  MGlobal::executeCommand("delete time2");
}

TEST_F(PluginLoading, AModuleCanBeLoadedAgainAfterUnloading) {
  ASSERT_TRUE(MGlobal::executeCommand(loadLine()));
  ASSERT_TRUE(MGlobal::executeCommand(unloadLine()));
  ASSERT_TRUE(MGlobal::executeCommand(loadLine()));
  MString text;
  EXPECT_TRUE(MGlobal::executeCommand("moduleCommand", text));
  ASSERT_TRUE(MGlobal::executeCommand(unloadLine()));
}

TEST_F(PluginLoading, AnInjectedRegistrationFailureFailsOnlyThatRegistration) {
  zovhost::testing::injectRegistrationFailure("moduleCommand");
  // initializePlugin returns the failed command's status; the rest stays registered.
  EXPECT_FALSE(MGlobal::executeCommand(loadLine()));
  EXPECT_TRUE(hasMessage(MessageKind::Error, "initializePlugin function failed"));
  EXPECT_FALSE(MGlobal::executeCommand("moduleCommand"));
  EXPECT_TRUE(MGlobal::executeCommand("createNode moduleNode"));
  EXPECT_TRUE(MGlobal::executeCommand(unloadLine()));
}

TEST_F(PluginLoading, FilesThatAreNotPlugInsAreRefused) {
  EXPECT_FALSE(MGlobal::executeCommand("loadPlugin /no/such/module.so"));
  EXPECT_TRUE(hasMessage(MessageKind::Error, "Unable to load plug-in"));
  EXPECT_FALSE(MGlobal::executeCommand("unloadPlugin notLoaded"));
}

}  // namespace
