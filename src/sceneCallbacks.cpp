#include "src/sceneCallbacks.h"

#include <maya/M3dView.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MItDependencyNodes.h>
#include <maya/MPlug.h>

#include "src/solverNode.h"

void onTimeChanged(void*) {
  bool found = false;
  for (MItDependencyNodes it(MFn::kPluginDependNode); !it.isDone(); it.next()) {
    MFnDependencyNode fn(it.thisNode());
    if (fn.typeId() != zovSolverNode::id) continue;
    MObject value;
    MPlug(it.thisNode(), zovSolverNode::rigidBodies).getValue(value);
    found = true;
    break;
  }
  if (found && !g_sceneLoading) M3dView::active3dView().refresh(false, false);
}
