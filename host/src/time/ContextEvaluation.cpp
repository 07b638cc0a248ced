// Plug reads in a timed evaluation context: the time node shows the
// context's time while the value is read.
#include <maya/MDGContext.h>
#include <maya/MPlug.h>

#include "mathtypes/StatusOut.h"
#include "time/TimeState.h"

using zovhost::setStatus;

namespace {

template <typename Value>
MStatus readIn(const MPlug& plug, MDGContext& context, Value& value) {
  if (plug.isNull()) return MS::kFailure;
  MTime when;
  if (!context.getTime(when)) return plug.getValue(value);
  MStatus status;
  zovhost::timeState().evaluateAt(when, [&]() { status = plug.getValue(value); });
  return status;
}

}  // namespace

MStatus MPlug::getValue(int& value, MDGContext& context) const { return readIn(*this, context, value); }
MStatus MPlug::getValue(double& value, MDGContext& context) const { return readIn(*this, context, value); }
MStatus MPlug::getValue(MObject& value, MDGContext& context) const { return readIn(*this, context, value); }

int MPlug::asInt(MDGContext& context, MStatus* status) const {
  int value = 0;
  const MStatus read = getValue(value, context);
  setStatus(status, read);
  return value;
}

double MPlug::asDouble(MDGContext& context, MStatus* status) const {
  double value = 0.0;
  const MStatus read = getValue(value, context);
  setStatus(status, read);
  return value;
}
