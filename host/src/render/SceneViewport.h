#pragma once

#include <maya/MDagPath.h>
#include <maya/MMatrix.h>
#include <zovhost/RenderImage.h>

#include <array>
#include <string>

namespace zovhost {

/// How a view draws the plug-in nodes: the legacy viewport (each locator's
/// own draw), or Viewport 2.0 (draw overrides) through OpenGL, the OpenGL
/// core profile or Direct3D 11 (whose recorded draws the CPU rasteriser
/// turns into pixels).
enum class SceneRenderer { Legacy, OpenGL, CoreProfile, Direct3D };

/// "legacy", "opengl", "core" or "dx"; false for other names.
bool rendererNamed(const std::string& name, SceneRenderer& renderer);

/// The light grey the view is cleared to; no plug-in colour is this grey.
constexpr std::array<float, 4> kViewBackground = {0.62f, 0.62f, 0.62f, 1.0f};

/// A camera's view-to-clip matrix for a port of the given size (row vectors,
/// OpenGL's clip space): a perspective camera sees its horizontal field of
/// view across the port's width, an orthographic one its width; both see
/// from the near to the far clipping plane.
MMatrix cameraProjection(const MDagPath& camera, int width, int height);

/// Draws the plug-in locators of the scene, as it is at the current time,
/// through a camera (a camera shape or its transform) into a picture of the
/// given size cleared to kViewBackground. The renderer's settings are
/// those of the host's view for the time of the drawing and come back
/// after. False, with `error` saying why, when the camera is none or no
/// graphics context can be had.
bool renderScene(const MDagPath& camera, int width, int height, SceneRenderer renderer, RenderImage& image,
                 std::string& error);

}  // namespace zovhost
