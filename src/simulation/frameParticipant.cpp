#include "src/simulation/frameParticipant.h"

#include <maya/MFnDependencyNode.h>

#include <algorithm>

#include "platform/ModuleState.h"

namespace {

struct Registration {
  MTypeId type;
  FrameParticipantOf participantOf;
};

std::vector<Registration>& registrations() {
  static std::vector<Registration> registered;
  return registered;
}
const zov::platform::ModuleStateReset g_participantsReset([] { registrations().clear(); });

}  // namespace

void registerFrameParticipant(const MTypeId& type, FrameParticipantOf participantOf) {
  deregisterFrameParticipant(type);
  registrations().push_back({type, participantOf});
}

void deregisterFrameParticipant(const MTypeId& type) {
  auto& registered = registrations();
  registered.erase(std::remove_if(registered.begin(), registered.end(),
                                  [&type](const Registration& entry) { return entry.type == type; }),
                   registered.end());
}

FrameParticipant* frameParticipantOf(const MObject& node) {
  if (node.isNull()) return nullptr;
  MFnDependencyNode fn(node);
  const MTypeId type = fn.typeId();
  for (const Registration& entry : registrations())
    if (entry.type == type) return entry.participantOf(fn.userNode());
  return nullptr;
}

std::vector<FrameParticipant*> frameParticipantsOf(const MPlugArray& plugs) {
  std::vector<FrameParticipant*> participants;
  for (unsigned int i = 0; i < plugs.length(); ++i)
    if (FrameParticipant* participant = frameParticipantOf(plugs[i].node())) participants.push_back(participant);
  return participants;
}
