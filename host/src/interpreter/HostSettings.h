#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

namespace zovhost {

/// The host's progress window, and how a test makes the user answer it.
struct ProgressWindowState {
  bool reserved = false;
  bool started = false;
  bool interruptable = false;
  int minValue = 0;
  int maxValue = 100;
  int progress = 0;
  std::string title;
  std::string status;
  /// isCancelled answers false this many times, then true; -1: never true.
  int cancelAfterChecks = -1;
  int checks = 0;
  /// The call (counted from 1 in each run) that fails; 0: none fails.
  int failingCall = 0;
  int calls = 0;
  /// The title and the progress values of the last run, kept after it ends.
  std::string lastTitle;
  std::vector<int> lastProgress;
};

/// The host's own state that host command lines query or change: up axis,
/// grid, open windows, panel renderers, option variables, display colours,
/// script procedures, and exact answers that tests give to query lines.
struct HostSettings {
  std::string upAxis = "y";
  int gridShown = 1;
  std::set<std::string> windows;
  std::string defaultRenderer = "vp2Renderer";
  std::map<std::string, std::string> panelRenderers;
  std::map<std::string, std::string> optionVars;
  std::map<std::string, int> displayColors;
  /// Procedures of user-interface scripts: name to the result they give.
  std::map<std::string, std::string> procedures;
  /// Whole command lines answered with a fixed result (and success).
  std::map<std::string, std::string> queryAnswers;
  /// Folders searched by "source" and "loadPlugin" for relative names.
  std::vector<std::string> scriptPath;
  std::vector<std::string> pluginPath;
  /// Mesh shapes whose geometry display "polyOptions -dg" switched, by name;
  /// a mesh not listed shows its geometry.
  std::map<std::string, bool> meshDisplaysGeometry;
  /// The scene file's name ("file -rename", "file -open").
  std::string sceneName;
  ProgressWindowState progressWindow;
  /// Whether edits record construction history ("constructionHistory -tgl").
  bool constructionHistory = true;
};

/// The host's settings; owned by the host's composition root.
HostSettings& hostSettings();

}  // namespace zovhost
