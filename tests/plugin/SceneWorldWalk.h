#pragma once

#include <string>
#include <vector>

/// What the walk compares besides the lists.
struct SceneWalkOptions {
  /// The scene is at its start (after a reset, before a frame is played):
  /// each joint also holds its node's strength bit for bit, is active
  /// exactly when its node is enabled and breaks by frame exactly when its
  /// node says so.
  bool atRest = false;
};

/// Walks the module's nodes of the current scene (solvers, rigid bodies,
/// fracture bodies, clusters and joint nodes, through their connections)
/// against the engine world's lists, and answers one line for each place
/// where the two disagree: empty when the world holds exactly the bodies,
/// pieces and joints the nodes describe.
///
/// The walk reads only the scene's connections and attributes, the engine
/// object each node owns (a rigid body's body, a fracture body node's
/// fracture body) and the engine's own lists; it uses none of the module's
/// links between nodes (owners, joint pointers, piece lists), so that a
/// fault in them shows. Pointers found on engine lists are compared, never
/// followed, unless they are known to belong to a node.
std::vector<std::string> walkSceneAgainstWorld(const SceneWalkOptions& options = {});
