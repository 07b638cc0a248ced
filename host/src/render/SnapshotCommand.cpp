// The host command snapshot: draws the scene through a camera into a PNG file.
//   snapshot [-camera name] [-width w] [-height h] [-renderer legacy|opengl|core|dx] -file path
// The camera defaults to "persp", the size to 256 x 256, the renderer to
// "opengl". A relative path is taken in the folder that the environment
// variable ZOVHOST_IMAGES names, when it is set, else in the working folder.
// Answers the path as given.
#include <cstdlib>
#include <string>

#include "core/Logs.h"
#include "dag/CameraNode.h"
#include "dag/DagNode.h"
#include "interpreter/HostArgs.h"
#include "render/PngFile.h"
#include "render/SceneViewport.h"
#include "render/Snapshot.h"

namespace zovhost {

namespace {

constexpr int kDefaultSize = 256;
/// Pictures larger than this on a side are refused.
constexpr int kLargestSide = 8192;

/// A side length in pixels: a whole number from 1 to kLargestSide.
bool parseSide(const std::string& text, int& side) {
  char* end = nullptr;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || value < 1 || value > kLargestSide) return false;
  side = static_cast<int>(value);
  return true;
}

std::string imagePath(const std::string& file) {
  const char* folder = std::getenv("ZOVHOST_IMAGES");
  if (file.empty() || file[0] == '/' || !folder || !*folder) return file;
  return std::string(folder) + "/" + file;
}

MStatus snapshotCommand(HostCall& call, const HostArgs& args) {
  const auto fail = [](const std::string& message) {
    displayError("snapshot: " + message);
    return MS::kFailure;
  };
  if (!args.positional().empty()) return fail("unexpected argument '" + args.positional().front() + "'");
  const std::string file = args.value("file");
  if (file.empty()) return fail("give the file to write with -file");
  int width = kDefaultSize, height = kDefaultSize;
  if (args.has("width") && !parseSide(args.value("width"), width))
    return fail("the width must be a whole number from 1 to " + std::to_string(kLargestSide));
  if (args.has("height") && !parseSide(args.value("height"), height))
    return fail("the height must be a whole number from 1 to " + std::to_string(kLargestSide));
  SceneRenderer renderer = SceneRenderer::OpenGL;
  if (!rendererNamed(args.value("renderer", "opengl"), renderer))
    return fail("unknown renderer '" + args.value("renderer") + "' (legacy, opengl, core or dx)");

  const std::string cameraName = args.value("camera", "persp");
  if (isDefaultCameraName(cameraName)) createDefaultCameras();
  const MDagPath camera = dagPathNamed(cameraName);
  if (!camera.isValid()) return fail("no object named '" + cameraName + "'");

  RenderImage image;
  std::string error;
  if (!renderScene(camera, width, height, renderer, image, error)) return fail("'" + cameraName + "': " + error);
  if (!writePng(imagePath(file), image, error)) return fail("cannot write '" + file + "': " + error);
  call.result.setString(file);
  return MS::kSuccess;
}

}  // namespace

void addSnapshotCommand(Interpreter& interpreter) {
  addFlaggedCommands(interpreter, {{"snapshot",
                                    snapshotCommand,
                                    {{"cam", "camera", 1, 0},
                                     {"w", "width", 1, 0},
                                     {"h", "height", 1, 0},
                                     {"r", "renderer", 1, 0},
                                     {"f", "file", 1, 0}}}});
}

}  // namespace zovhost
