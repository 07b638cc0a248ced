#include "testing/RenderTesting.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <maya/MPxManipContainer.h>
#include <maya/MViewport2Renderer.h>

#include <cstdlib>

#include "dag/CameraNode.h"
#include "dag/DagNode.h"
#include "dg/NodeImpl.h"
#include "render/D3DRasterizer.h"
#include "render/RenderState.h"
#include "render/SceneViewport.h"

namespace zovhost::testing {

void setDrawAPI(int drawAPI) { renderState().settings.drawAPI = static_cast<MHWRender::DrawAPI>(drawAPI); }
void setRendererExists(bool exists) { renderState().settings.rendererExists = exists; }
void setDirectXDevice(bool available) { renderState().settings.deviceAvailable = available; }

void setViewSize(int width, int height) {
  renderState().settings.viewWidth = width;
  renderState().settings.viewHeight = height;
}

void setWireframe(bool wireframe) { renderState().settings.wireframe = wireframe; }
void setUserInteraction(bool interacting) { renderState().settings.userInteraction = interacting; }
void setChangingViewContext(bool changing) { renderState().settings.changingViewContext = changing; }

RenderImage renderView(const std::string& camera, int width, int height, const std::string& renderer) {
  SceneRenderer kind = SceneRenderer::OpenGL;
  if (!rendererNamed(renderer, kind)) return RenderImage();
  if (isDefaultCameraName(camera)) createDefaultCameras();
  RenderImage image;
  std::string error;
  return renderScene(dagPathNamed(camera), width, height, kind, image, error) ? image : RenderImage();
}

std::array<uint8_t, 3> viewBackground() {
  std::array<uint8_t, 3> rgb;
  for (int i = 0; i < 3; ++i) rgb[i] = static_cast<uint8_t>(kViewBackground[i] * 255.0f + 0.5f);
  return rgb;
}

std::vector<MHWRender::MUIDrawManager::Text> uiTexts() { return renderState().uiTexts; }
std::vector<MHWRender::MUIDrawManager::Text> viewTexts() { return renderState().viewTexts; }
void clearViewTexts() { renderState().viewTexts.clear(); }

std::vector<ShownManipulator> shownManipulators() {
  std::vector<ShownManipulator> found;
  for (const ManipulatorState::Shown& shown : renderState().manipulators.shown) {
    auto* container = shown.container ? dynamic_cast<MPxManipContainer*>(shown.container->user.get()) : nullptr;
    if (!container) continue;
    for (const MDagPath& path : container->manipulatorPaths())
      if (const FreePointManipulator* manip = freePointManipulatorOf(path.nodes().back()))
        found.push_back({manip->manipName.asChar(), manip->point, manip->visible});
  }
  return found;
}

std::vector<unsigned int> manipulatorConnectTable() {
  std::vector<unsigned int> ids;
  for (const MTypeId& id : renderState().manipulators.connectTable) ids.push_back(id.id());
  return ids;
}

unsigned rasterizerReferences(const MHWRender::MRasterizerState* state) {
  return renderState().rasterizerStates.references(state);
}

const MHWRender::MRasterizerState* defaultRasterizerState() { return renderState().rasterizerStates.defaultState(); }

unsigned viewRefreshCount() { return renderState().viewRefreshes; }

unsigned geometryDrawDirtyCount(const MObject& node, unsigned* topologyChanges) {
  GeometryDirtyCount count;
  if (!node.isNull()) {
    const auto& counts = renderState().geometryDirty;
    const auto found = counts.find(node.object());
    if (found != counts.end()) count = found->second;
  }
  if (topologyChanges) *topologyChanges = count.topologyChanges;
  return count.marks;
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

std::vector<double> fixedFunctionState() {
  std::vector<double> state;
  for (GLenum depth : {GL_MODELVIEW_STACK_DEPTH, GL_PROJECTION_STACK_DEPTH, GL_ATTRIB_STACK_DEPTH, GL_MATRIX_MODE}) {
    GLint value = 0;
    glGetIntegerv(depth, &value);
    state.push_back(value);
  }
  GLdouble values[16];
  glGetDoublev(GL_LINE_WIDTH, values);
  state.push_back(values[0]);
  for (GLenum matrix : {GL_MODELVIEW_MATRIX, GL_PROJECTION_MATRIX}) {
    glGetDoublev(matrix, values);
    state.insert(state.end(), values, values + 16);
  }
  return state;
}

std::vector<uint8_t> readGLBuffer(unsigned int buffer) {
  GLint size = 0, bound = 0;
  glGetIntegerv(GL_COPY_READ_BUFFER_BINDING, &bound);
  glBindBuffer(GL_COPY_READ_BUFFER, buffer);
  glGetBufferParameteriv(GL_COPY_READ_BUFFER, GL_BUFFER_SIZE, &size);
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  if (size > 0) glGetBufferSubData(GL_COPY_READ_BUFFER, 0, size, bytes.data());
  glBindBuffer(GL_COPY_READ_BUFFER, static_cast<GLuint>(bound));
  return bytes;
}

std::vector<std::array<float, 4>> placedVertices(const d3d::Draw& draw, unsigned count) {
  std::vector<std::array<float, 4>> placed;
  for (unsigned i = 0; i < count; ++i) placed.push_back(d3d::clipPosition(draw, i));
  return placed;
}

std::vector<FeedbackPrimitive> feedback(const std::function<void()>& draw) {
  std::vector<GLfloat> buffer(1 << 18);
  glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D, buffer.data());
  glRenderMode(GL_FEEDBACK);
  draw();
  const GLint size = glRenderMode(GL_RENDER);
  GLint viewport[4] = {};
  glGetIntegerv(GL_VIEWPORT, viewport);
  std::vector<FeedbackPrimitive> primitives;
  for (GLint at = 0; at < size;) {
    const GLenum token = static_cast<GLenum>(buffer[at++]);
    if (token == GL_PASS_THROUGH_TOKEN) {
      ++at;
      continue;
    }
    FeedbackPrimitive primitive{FeedbackPrimitive::Point, {}};
    GLint corners = 1;
    if (token == GL_LINE_TOKEN || token == GL_LINE_RESET_TOKEN) {
      primitive.kind = FeedbackPrimitive::Line;
      corners = 2;
    } else if (token == GL_POLYGON_TOKEN) {
      primitive.kind = FeedbackPrimitive::Polygon;
      corners = static_cast<GLint>(buffer[at++]);
    }
    for (GLint i = 0; i < corners; ++i, at += 3)
      primitive.vertices.push_back({(buffer[at] - viewport[0]) / viewport[2] * 2.0f - 1.0f,
                                    (buffer[at + 1] - viewport[1]) / viewport[3] * 2.0f - 1.0f,
                                    buffer[at + 2] * 2.0f - 1.0f});
    primitives.push_back(std::move(primitive));
  }
  return primitives;
}

size_t countPrimitives(const std::vector<FeedbackPrimitive>& primitives, FeedbackPrimitive::Kind kind) {
  size_t count = 0;
  for (const FeedbackPrimitive& primitive : primitives) count += primitive.kind == kind;
  return count;
}

int litPixels(const RenderImage& image, const std::array<uint8_t, 3>& background) {
  int lit = 0;
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x) {
      const uint8_t* p = image.pixel(x, y);
      lit += p[0] != background[0] || p[1] != background[1] || p[2] != background[2];
    }
  return lit;
}

int unmatchedPixels(const RenderImage& a, const RenderImage& b, int distance, int tolerance) {
  const auto near = [tolerance](const uint8_t* p, const uint8_t* q) {
    return std::abs(p[0] - q[0]) <= tolerance && std::abs(p[1] - q[1]) <= tolerance &&
           std::abs(p[2] - q[2]) <= tolerance;
  };
  int missing = 0;
  for (int y = 0; y < a.height; ++y)
    for (int x = 0; x < a.width; ++x) {
      const uint8_t* p = a.pixel(x, y);
      if (p[0] + p[1] + p[2] == 0) continue;
      bool found = false;
      for (int v = std::max(0, y - distance); v <= std::min(b.height - 1, y + distance) && !found; ++v)
        for (int u = std::max(0, x - distance); u <= std::min(b.width - 1, x + distance) && !found; ++u)
          found = near(p, b.pixel(u, v));
      missing += !found;
    }
  return missing;
}

}  // namespace zovhost::testing
