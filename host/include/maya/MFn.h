#pragma once

/// Function-set types: what kind of object an MObject is and which function
/// sets apply to it. Objects of a derived kind also have the types of their
/// bases (a plug-in locator is also a plug-in dependency node, a DAG node and a
/// dependency node), which MObject::hasFn answers.
class MFn {
 public:
  enum Type {
    kInvalid = 0,
    kBase = 1,
    kNamedObject = 2,
    kDependencyNode = 4,
    kAnimCurve = 7,
    kDagNode = 107,
    kTransform = 110,
    kField = 256,
    kAir = 257,
    kDrag = 258,
    kGravity = 259,
    kNewton = 260,
    kRadial = 261,
    kTurbulence = 262,
    kUniform = 263,
    kVortex = 264,
    kGeometric = 265,
    kShape = 266,
    kLocator = 267,
    kNurbsSurface = 294,
    kMesh = 296,
    /// Passes a component group of geometry on, "inputGeometry" to "outputGeometry".
    kGroupParts = 355,
    /// A polygon edit taking a mesh on "inputPolymesh" and giving it on "output".
    kPolyModifierNode = 429,
    /// Hands a mesh on from "inMesh" to "outMesh" at the head of a mesh's history.
    kPolyMeshCopy = 753,
    /// Gives the mesh on "inputPolymesh" its per-vertex normals, on "output":
    /// what a vertex-normal edit puts into the history of a mesh that has one.
    kPolyNormalPerVertex = 754,
    kPluginDependNode = 455,
    kPluginLocatorNode = 456,
    kTime = 516,
    kMeshPolygonComponent = 548,
    kPluginManipContainer = 688,
    /// Paints per-vertex colours into the mesh on "inputPolymesh", giving it on "output".
    kPolyColorPerVertex = 730,
    /// Adds a colour set to the mesh on "inputPolymesh", giving it on "output".
    kPolyColorSet = 731,
    kVolumeAxis = 794,
    kDependencyNodeUnknown = 900,
    /// A node that plays a mesh back from a cache onto a shape's inMesh.
    kMeshCache = 1000,
    // The kinds below are numbered by this host alone; values the plug-in
    // compares with by number (1000 among them) are left free.
    // Attributes.
    kAttribute = 2000,
    kNumericAttribute,
    kUnitAttribute,
    kTypedAttribute,
    kEnumAttribute,
    kMessageAttribute,
    kCompoundAttribute,
    // Data objects held by typed and compound attributes.
    kData = 2100,
    kNumericData,
    kStringData,
    kMatrixData,
    kMeshData,
    kComponentListData,
    // Other host objects.
    kPlugin = 2200,
    // The nodes that build the primitive meshes ("polyCube", ...).
    kPolyPrimitive = 2300,
    kPolyCube,
    kPolyPlane,
    kPolyCylinder,
    kPolySphere,
    // Sets, shading and textures.
    kSet = 2400,
    kShadingEngine,
    kTexture2d,
    kFileTexture,
    kBlindDataTemplate,
    kLambert,
    // Curves, cameras and animation.
    kNurbsCurve = 2500,
    kCamera,
    kAnimCurveTimeToDistance,
    kAnimCurveTimeToAngular,
    kAnimCurveTimeToUnitless,
    kMotionPath,
    // Mesh components other than polygons.
    kMeshVertComponent = 2600,
    kMeshEdgeComponent,
    kComponent,
    kSingleIndexedComponent,
    // The host's own dynamics.
    kRigidBody = 2700,
    // Manipulators.
    kManipulator3D = 2800,
    kFreePointTriadManip,
    // Mesh history edits.
    /// Moves vertices of the mesh on "inputPolymesh" by its "tweak" elements,
    /// giving it on "output".
    kPolyTweak = 2900
  };
};
