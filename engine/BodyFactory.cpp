#include "engine/BodyFactory.h"

#include <cmath>
#include <cstdlib>
#include <memory>
#include <new>

#include "engine/MeshFactory.h"
#include "engine/PrivateWorld.h"
#include "engine/bodies/BarrierBody.h"
#include "engine/bodies/CapsuleBody.h"
#include "engine/bodies/HullBody.h"
#include "engine/bodies/PhantomBody.h"
#include "engine/bodies/TriMeshBody.h"
#include "engine/bodies/ZovCrackerBody.h"
#include "geometry/BoxFits.h"
#include "geometry/ConvexHull.h"
#include "geometry/MassProperties.h"
#include "geometry/MeshTransforms.h"
#include "geometry/SharedFaces.h"
#include "math/Tolerances.h"
#include "platform/ModuleState.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;

namespace {

/// Restitution and friction of the ground: single-precision 0.3 and 0.7.
constexpr double kBarrierRestitution = static_cast<double>(0.3f);
constexpr double kBarrierFriction = static_cast<double>(0.7f);

/// The convex hull of the mesh (a budgeted one from kHullVertexLimit vertices
/// on); null when memory runs out or the hull has no vertices.
std::unique_ptr<ZOVmesh> hullOf(const ZOVmesh& mesh) {
  std::unique_ptr<ZOVmesh> hull;
  try {
    hull = mesh.numVertices < kHullVertexLimit ? convexHull(mesh.vertices, mesh.numVertices)
                                               : approxConvexHull(&mesh, kHullVertexLimit);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  if (hull == nullptr || hull->numVertices == 0) return nullptr;
  return hull;
}

// The shape's box from an oriented box fitted in world terms.
void shapeFromBox(HardBodyShape& shape, const ZOVbox& box) {
  shape.localCenter = box.center;
  shape.boxSize = box.extents * 2.0;
  setShapeRotation(shape, box.axes);
}

// Capsule and cracker bodies are made the same way.
template <typename Body>
HardBody* createCapsuleKind(ZOVmesh* mesh) {
  std::unique_ptr<Body> body(new (std::nothrow) Body);
  if (!body || mesh == nullptr) return body.release();
  MgcVector3 a;
  MgcVector3 b;
  double r = 0.0;
  fitCapsule(mesh->numVertices, mesh->vertices, a, b, r);
  setupCrackerCapsule(body.get(), a, b, r);
  HardBodyShape& shape = body->getShape();
  shape.localCenter = (a + b) * 0.5;
  shape.boxSize = MgcVector3(r, r, (b - a).Length() * 0.5 + r) * 2.0;
  MgcVector3 d = b - a;
  if (d.SquaredLength() > zov::kTolerance) {
    d.Unitize(zov::kUnitizeTolerance);
  } else {
    d = MgcVector3(1.0, 0.0, 0.0);
  }
  MgcVector3 u;
  MgcVector3 v;
  generateOrthonormalBasis(d, u, v);
  setShapeRotation(shape, MgcMatrix3(u, v, d));

  std::unique_ptr<ZOVmesh> boxMesh(new (std::nothrow) ZOVmesh);
  if (!boxMesh) return nullptr;
  ZOVbox box;
  box.axes = shape.boxRotation;
  box.extents = shape.boxSize;
  meshFromOBB(box, boxMesh.get());
  body->setMesh(boxMesh.release());
  return body.release();
}

/// The module starts without a world: one left from an earlier load goes,
/// with its bodies, and with it the collision manager's query engine and
/// least-squares systems that every pass reaches.
const zov::platform::ModuleStateReset g_worldReset([] { deleteWorld(&theWorld); });

}  // namespace

// ---- World ------------------------------------------------------------------------

PublicWorld* createWorld() {
  theWorld = new (std::nothrow) PrivateWorld;
  return theWorld;
}

void deleteWorld(PublicWorld** world) {
  if (world != nullptr && *world != nullptr) {
    PublicWorld* doomed = *world;
    // The host passes &theWorld: the pointer it reads must not dangle while
    // the world's destructor runs.
    if (world == &theWorld) theWorld = nullptr;
    delete doomed;
  }
  theWorld = nullptr;
}

bool enableWorldManagerOption() {
  if (theWorld == nullptr) return false;
  static_cast<PrivateWorld*>(theWorld)->enableManagerOption();
  return true;
}

bool disableWorldManagerOption() {
  if (theWorld == nullptr) return false;
  static_cast<PrivateWorld*>(theWorld)->disableManagerOption();
  return true;
}

// ---- Bodies -----------------------------------------------------------------------

HardBody* createPhantomBody(ZOVmesh* mesh) {
  std::unique_ptr<PhantomBody> body(new (std::nothrow) PhantomBody);
  if (!body || mesh == nullptr) return body.release();
  ZOVbox box;
  fitOrientedBox(box, mesh->numVertices, mesh->vertices);
  std::unique_ptr<ZOVmesh> boxMesh(new (std::nothrow) ZOVmesh);
  if (!boxMesh) return nullptr;
  meshFromOBB(box, boxMesh.get());
  body->setMesh(boxMesh.release());
  shapeFromBox(body->getShape(), box);
  return body.release();
}

HardBody* createCapsuleBody(ZOVmesh* mesh) { return createCapsuleKind<CapsuleBody>(mesh); }

HardBody* createCrackerBody(ZOVmesh* mesh) { return createCapsuleKind<ZovCrackerBody>(mesh); }

HardBody* createHullBody(ZOVmesh* mesh) {
  if (mesh == nullptr) return new (std::nothrow) HullBody;
  std::unique_ptr<ZOVmesh> hull = hullOf(*mesh);
  if (hull == nullptr) return nullptr;
  hull->worldVertices = static_cast<MgcVector3*>(std::calloc(hull->numVertices, sizeof(MgcVector3)));
  if (hull->worldVertices == nullptr) return nullptr;
  std::unique_ptr<BVmesh> volume(new (std::nothrow) BVmesh);
  std::unique_ptr<HullBody> body(new (std::nothrow) HullBody);
  if (!volume || !body) return nullptr;
  volume->init(hull.get(), kMeshHullMode);
  // The hull's faces are final once its volume is built: hulls of one shape
  // hold one copy of them.
  shareFaceTables(*hull);

  ZOVbox box;
  fitOrientedBox(box, hull->numVertices, hull->vertices);
  hull->center = box.center;
  hull->radius = box.extents.Length();
  shapeFromBox(body->getShape(), box);
  body->setHullMesh(std::move(hull));
  body->setBoundingMesh(std::move(volume));
  return body.release();
}

HardBody* createTriMeshBody(ZOVmesh* mesh) {
  if (mesh == nullptr || mesh->numVertices == 0 || mesh->numFaces == 0 || mesh->vertices == nullptr ||
      mesh->faces == nullptr) {
    return new (std::nothrow) TriMeshBody;
  }
  std::unique_ptr<ZOVmesh> triangles(createMesh(mesh->numVertices, triangulatedFaceCount(*mesh)));
  std::unique_ptr<TriMeshBody> body(new (std::nothrow) TriMeshBody);
  std::unique_ptr<BoxTree> tree(new (std::nothrow) BoxTree);
  std::unique_ptr<BVmesh> volume(new (std::nothrow) BVmesh);
  if (!triangles || !body || !tree || !volume) return nullptr;

  for (std::uint32_t i = 0; i < mesh->numVertices; ++i) triangles->vertices[i] = mesh->vertices[i];
  std::uint32_t out = 0;
  for (std::uint32_t f = 0; f < mesh->numFaces; ++f) {
    const mesh_face& face = mesh->faces[f];
    const MgcVector3 normal = mesh->faceNormals != nullptr ? mesh->faceNormals[f] : MgcVector3();
    const std::uint32_t n = heldCorners(face);
    if (n < 4) {
      copyFace(triangles->faces[out], face);
      triangles->faceNormals[out++] = normal;
      continue;
    }
    for (std::uint32_t k = 1; k + 1 < n; ++k) {
      mesh_face& triangle = triangles->faces[out];
      triangle.numVertices = 3;
      triangle.numEdges = 3;
      triangle.vertices[0] = face.vertices[0];
      triangle.vertices[1] = face.vertices[k];
      triangle.vertices[2] = face.vertices[k + 1];
      triangles->faceNormals[out++] = normal;
    }
  }
  MgcVector3 centre;
  for (std::uint32_t i = 0; i < triangles->numVertices; ++i) centre += triangles->vertices[i];
  centre /= static_cast<double>(triangles->numVertices);
  double largest = 0.0;
  for (std::uint32_t i = 0; i < triangles->numVertices; ++i) {
    const double d = (triangles->vertices[i] - centre).SquaredLength();
    if (d > largest) largest = d;
  }
  triangles->center = centre;
  triangles->radius = std::sqrt(largest);

  // Bound only when every face names vertices the mesh has; the volume also
  // writes the centre of mass into the mesh's centre.
  volume->init(triangles.get(), kMeshHullMode);

  ZOVbox box;
  fitOrientedBox(box, mesh->numVertices, mesh->vertices);
  shapeFromBox(body->getShape(), box);
  body->setTriangleMesh(std::move(triangles));
  body->setBoundingMesh(std::move(volume));
  body->setTriangleTree(std::move(tree));
  return body.release();
}

HardBody* createBarrierBody(const MgcVector3& point, MgcVector3& normal) {
  if (normal.Length() < zov::kTolerance) normal = MgcVector3(0.0, 1.0, 0.0);
  std::unique_ptr<BarrierBody> body(new (std::nothrow) BarrierBody);
  if (!body) return nullptr;
  body->setPlane(point, normal);
  body->setRestitutionCoeff(kBarrierRestitution);
  body->setFrictionCoeff(kBarrierFriction);
  return body.release();
}

bool isNearlyConvex(ZOVmesh* mesh) {
  if (mesh == nullptr) return false;
  const double V = meshVolume(*mesh);
  const std::unique_ptr<ZOVmesh> hull = hullOf(*mesh);
  if (hull == nullptr) return false;
  const double H = meshVolume(*hull);
  return H > 0.0 && kNearlyConvexFactor * V <= H && kNearlyConvexFactor * H <= V;
}

HardBody* createBodyFromMesh(ZOVmesh* mesh) {
  if (mesh == nullptr) return createTriMeshBody(mesh);
  const double V = meshVolume(*mesh);
  double H = 100.0 * V;
  HardBody* body = createHullBody(mesh);
  if (body != nullptr) {
    const ZOVmesh* hull = body->getWorldMesh();
    H = hull != nullptr ? meshVolume(*hull) : 0.0;
  }
  if (H <= 0.0 || H < kNearlyConvexFactor * V || V < kNearlyConvexFactor * H) {
    delete body;
    return createTriMeshBody(mesh);
  }
  return body;
}

bool hasNonPositiveVolume(HardBody* body) {
  if (body == nullptr) return false;
  const ZOVmesh* mesh = body->getWorldMesh();
  return mesh == nullptr || !(meshVolume(*mesh) > 0.0);
}

void deleteBody(HardBody** body) {
  if (body == nullptr) return;
  if (theWorld != nullptr) theWorld->removeBody(*body);
  delete *body;
  *body = nullptr;
}

void deleteCrackerBody(HardBody** body) { deleteBody(body); }

void setupCrackerCapsule(HardBody* body, const MgcVector3& a, const MgcVector3& b, double r) {
  if (body == nullptr || (body->getType() != kCapsuleBody && body->getType() != kCrackerBody)) return;
  ZOVcapsule capsule;
  const double length = (b - a).Length();
  capsule.center = (a + b) * 0.5;
  capsule.axis = length > zov::kTolerance ? (b - a) / length : MgcVector3();
  capsule.length = length;
  capsule.radius = r;
  static_cast<CapsuleBody*>(body)->getLocalCapsule().init(capsule);
}

void setShapeRotation(HardBodyShape& shape, const MgcMatrix3& rotation) {
  shape.boxRotation = rotation;
  shape.boxQuat.FromRotationMatrix(rotation);
}
