#pragma once

#include <zovhost/D3DRecord.h>
#include <zovhost/RenderImage.h>

#include <array>
#include <string>
#include <vector>

/// The test-only interface of the host's viewport drawing: which graphics
/// interface the renderer reports, the active view's OpenGL framebuffer, the
/// OpenGL procedure lookup, and the Direct3D device's record. resetHost puts
/// the settings back (OpenGL, a renderer with a device, a 64 x 64 view, the
/// driver's procedures) and clears the record.
namespace zovhost::testing {

/// An MHWRender::DrawAPI value.
void setDrawAPI(int drawAPI);
void setRendererExists(bool exists);
/// Whether the Direct3D renderer hands out a device.
void setDirectXDevice(bool available);
/// The size of the active view's framebuffers.
void setViewSize(int width, int height);

/// Makes wglGetProcAddress answer the name with this function; null makes
/// the name unknown.
void setProcAddress(const std::string& name, void (*function)());
/// Back to the driver's answers for every name.
void clearProcAddresses();

/// Makes the active view's context current (without saving the one before).
bool makeViewCurrent();
/// Fills the active view's framebuffer with a colour.
void clearView(const std::array<float, 4>& color);
/// The active view's framebuffer.
RenderImage readView();

/// The Direct3D device's record since the last reset or clearD3DRecord.
std::vector<d3d::Call> d3dCalls();
std::vector<d3d::Draw> d3dDraws();
void clearD3DRecord();
/// Every object the device made in the process, live or gone, by id.
std::vector<d3d::ObjectInfo> d3dObjects();
/// The renderer's device's id (made on first use).
unsigned d3dDeviceId();
/// Compilations for the target fail with an error blob while set.
void setShaderCompileFailure(const std::string& target, bool fail);
/// The next `count` calls of a device function ("CreateBuffer",
/// "CreateVertexShader", "CreatePixelShader", "CreateInputLayout") fail.
void injectD3DFailure(const std::string& function, unsigned count = 1);
/// Draws (d3dDraws(), or made by a test) as the module's two shader effects
/// would draw them.
RenderImage rasterizeD3DDraws(const std::vector<d3d::Draw>& draws, int width, int height,
                              const std::array<float, 4>& background);

}  // namespace zovhost::testing
