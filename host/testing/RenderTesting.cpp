#include "testing/RenderTesting.h"

#include <GL/gl.h>
#include <maya/MViewport2Renderer.h>

#include "render/D3DRasterizer.h"
#include "render/RenderState.h"

namespace zovhost::testing {

void setDrawAPI(int drawAPI) { renderState().settings.drawAPI = static_cast<MHWRender::DrawAPI>(drawAPI); }
void setRendererExists(bool exists) { renderState().settings.rendererExists = exists; }
void setDirectXDevice(bool available) { renderState().settings.deviceAvailable = available; }

void setViewSize(int width, int height) {
  renderState().settings.viewWidth = width;
  renderState().settings.viewHeight = height;
}

void setProcAddress(const std::string& name, void (*function)()) { renderState().settings.procedures[name] = function; }
void clearProcAddresses() { renderState().settings.procedures.clear(); }

bool makeViewCurrent() { return renderState().makeViewCurrent(); }

void clearView(const std::array<float, 4>& color) {
  const CurrentGL previous = CurrentGL::get();
  if (!renderState().makeViewCurrent()) return;
  GLfloat saved[4];
  glGetFloatv(GL_COLOR_CLEAR_VALUE, saved);
  glClearColor(color[0], color[1], color[2], color[3]);
  glClear(GL_COLOR_BUFFER_BIT);
  glClearColor(saved[0], saved[1], saved[2], saved[3]);
  previous.restore();
}

RenderImage readView() {
  const CurrentGL previous = CurrentGL::get();
  if (!renderState().makeViewCurrent()) return RenderImage();
  RenderImage image = renderState().view(renderState().activeProfile())->read();
  previous.restore();
  return image;
}

std::vector<d3d::Call> d3dCalls() { return renderState().recorder.calls; }
std::vector<d3d::Draw> d3dDraws() { return renderState().recorder.draws; }
void clearD3DRecord() {
  renderState().recorder.calls.clear();
  renderState().recorder.draws.clear();
}
std::vector<d3d::ObjectInfo> d3dObjects() { return renderState().recorder.objects; }
unsigned d3dDeviceId() { return renderState().device().id(); }

void setShaderCompileFailure(const std::string& target, bool fail) {
  if (fail)
    renderState().recorder.failingTargets.insert(target);
  else
    renderState().recorder.failingTargets.erase(target);
}

void injectD3DFailure(const std::string& function, unsigned count) {
  renderState().recorder.injectedFailures[function] += count;
}

RenderImage rasterizeD3DDraws(const std::vector<d3d::Draw>& draws, int width, int height,
                              const std::array<float, 4>& background) {
  return d3d::rasterize(draws, width, height, background);
}

}  // namespace zovhost::testing
