// Host commands for time and units (currentTime, playbackOptions, play,
// setKeyframe, currentUnit) and for the undo queue (undoInfo, undo, redo, flushUndo).
#include <maya/MAngle.h>
#include <maya/MAnimControl.h>
#include <maya/MDistance.h>
#include <maya/MFnAnimCurve.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MGlobal.h>

#include "commands/ArgumentText.h"
#include "commands/UndoQueue.h"
#include "core/Logs.h"
#include "dg/AttributeImpl.h"
#include "dg/Graph.h"
#include "interpreter/AttributeText.h"
#include "interpreter/HostArgs.h"
#include "interpreter/UnitNames.h"
#include "time/TimeState.h"

#include <cmath>

namespace zovhost {

namespace {

bool readTime(const std::string& word, MTime& time) {
  double value = 0.0;
  // A time must stay finite once held in ticks.
  if (!parseDouble(word, value) || !std::isfinite(value * MTime::ticksPerUnit(MTime::uiUnit()))) return false;
  time = MTime(value, MTime::uiUnit());
  return true;
}

/// currentTime [-update b] t: sets the current time; with -update (the
/// default) "timeChanged" is raised even when the time stays, so that the
/// scene is evaluated at it again.
MStatus currentTimeCommand(HostCall& call, const HostArgs& args) {
  if (args.query()) {
    call.result.setDouble(MAnimControl::currentTime().as(MTime::uiUnit()));
    return MS::kSuccess;
  }
  MTime time;
  if (args.positional().size() != 1) {
    displayError("currentTime: give a time");
    return MS::kFailure;
  }
  if (!readTime(args.positional()[0], time)) {
    displayError("currentTime: '" + args.positional()[0] + "' is not a time");
    return MS::kFailure;
  }
  bool update = true;
  if (args.has("update") && !parseBool(args.value("update"), update)) {
    displayError("currentTime: -update needs a boolean");
    return MS::kFailure;
  }
  // Updating re-evaluates the scene at the time even when it stays.
  const bool moves = time != MAnimControl::currentTime();
  MAnimControl::setCurrentTime(time);
  if (!moves && update) timeState().raiseTimeChanged();
  call.result.setDouble(time.value());
  return MS::kSuccess;
}

MStatus playbackOptionsCommand(HostCall& call, const HostArgs& args) {
  if (args.query()) {
    if (args.order().size() != 2) {
      displayError("playbackOptions: query one value at a time");
      return MS::kFailure;
    }
    const std::string& asked = args.order()[1];
    const MTime::Unit unit = MTime::uiUnit();
    if (asked == "minTime") call.result.setDouble(MAnimControl::minTime().as(unit));
    if (asked == "maxTime") call.result.setDouble(MAnimControl::maxTime().as(unit));
    if (asked == "animationStartTime") call.result.setDouble(MAnimControl::animationStartTime().as(unit));
    if (asked == "animationEndTime") call.result.setDouble(MAnimControl::animationEndTime().as(unit));
    if (asked == "playbackSpeed") call.result.setDouble(MAnimControl::playbackSpeed());
    return MS::kSuccess;
  }
  MTime min = MAnimControl::minTime(), max = MAnimControl::maxTime();
  MTime start = MAnimControl::animationStartTime(), end = MAnimControl::animationEndTime();
  double speed = MAnimControl::playbackSpeed();
  const bool ok = (!args.has("minTime") || readTime(args.value("minTime"), min)) &&
                  (!args.has("maxTime") || readTime(args.value("maxTime"), max)) &&
                  (!args.has("animationStartTime") || readTime(args.value("animationStartTime"), start)) &&
                  (!args.has("animationEndTime") || readTime(args.value("animationEndTime"), end)) &&
                  (!args.has("playbackSpeed") || parseDouble(args.value("playbackSpeed"), speed));
  if (!ok || max < min || end < start || speed < 0.0) {
    displayError("playbackOptions: invalid value");
    return MS::kFailure;
  }
  // The animation range always holds the playback range.
  if (min < start) start = min;
  if (max > end) end = max;
  MAnimControl::setAnimationStartEndTime(start, end);
  MAnimControl::setPlaybackSpeed(speed);
  MAnimControl::setMinMaxTime(min, max);
  return MS::kSuccess;
}

/// Sets a flag of the time state for the life of the guard.
class FlagGuard {
 public:
  explicit FlagGuard(bool& flag) : m_flag(flag), m_was(flag) { m_flag = true; }
  ~FlagGuard() { m_flag = m_was; }
  FlagGuard(const FlagGuard&) = delete;
  FlagGuard& operator=(const FlagGuard&) = delete;

 private:
  bool& m_flag;
  bool m_was;
};

/// Plays the playback range frame by frame, as the host's playback does when
/// it plays every frame: each frame sets the current time and raises
/// "timeChanged", with "playingBack" and "busy" true meanwhile. Forward play
/// goes from the current frame to the end; from the end or from outside the
/// range it starts at the start, raising "timeChanged" for that frame too.
/// Backward play mirrors it. A command-line host has no clock to keep up
/// with, so no frame is skipped whatever the playback speed.
MStatus playCommand(HostCall& call, const HostArgs& args) {
  bool forward = true;
  if (args.has("forward") && !parseBool(args.value("forward"), forward)) {
    displayError("play: -forward needs a boolean");
    return MS::kFailure;
  }
  TimeState& time = timeState();
  FlagGuard playing(time.playing);
  FlagGuard busy(time.busy);
  const MTime frame(1.0, MTime::uiUnit());
  const MTime first = forward ? time.minTime() : time.maxTime();
  const MTime last = forward ? time.maxTime() : time.minTime();
  MTime current = time.currentTime();
  const bool inside = forward ? current >= first && current < last : current <= first && current > last;
  if (!inside) {
    const bool moves = current != first;
    current = first;
    time.setCurrentTime(current);
    if (!moves) time.raiseTimeChanged();
  }
  while (forward ? current + frame <= last : current - frame >= last) {
    current = forward ? current + frame : current - frame;
    time.setCurrentTime(current);
  }
  call.result.setDouble(time.currentTime().as(MTime::uiUnit()));
  return MS::kSuccess;
}

/// A value in the user-interface unit of the plug's attribute, made internal.
double internalValue(const MPlug& plug, double value) {
  const AttributeImpl& attribute = *plug.attributeImpl();
  if (attribute.kind != AttributeKind::Unit) return value;
  if (attribute.unitType == MFnUnitAttribute::kDistance) return MDistance::uiToInternal(value);
  if (attribute.unitType == MFnUnitAttribute::kAngle) return MAngle::uiToInternal(value);
  return value;
}

/// The index of the key at a time (keys in time order), or -1.
int keyAt(const MFnAnimCurve& curve, const MTime& time) {
  for (unsigned int i = 0; i < curve.numKeys(); ++i)
    if (curve.time(i) == time) return static_cast<int>(i);
  return -1;
}

/// Keys one plug: a new curve when none drives it.
MStatus keyPlug(HostCall& call, const MPlug& plug, const MTime& time, const double* uiValue) {
  const double value = uiValue ? internalValue(plug, *uiValue) : plug.asDouble();
  const MPlug source = plug.source();
  if (!source.isNull() && !source.node().hasFn(MFn::kAnimCurve)) {
    displayError("setKeyframe: '" + plug.name().str() + "' is driven by a connection");
    return MS::kFailure;
  }
  if (source.isNull()) {
    MStatus status;
    MFnAnimCurve curve;
    const MObject made = curve.create(plug, &status);
    if (status) status = curve.addKeyframe(time, value);
    if (!status) {
      displayError("setKeyframe: '" + plug.name().str() + "' cannot be keyed");
      return MS::kFailure;
    }
    const auto node = nodeOf(made);
    auto removal = std::make_shared<NodeRemoval>();
    recordUndo(call, std::make_unique<FunctionEntry>(
                         "setKeyframe", [node, removal]() { sceneGraph().remove(node, removal.get(), true); },
                         [removal]() { sceneGraph().restore(*removal); }));
    return MS::kSuccess;
  }
  MFnAnimCurve curve(source.node());
  const int existing = keyAt(curve, time);
  const double before = existing >= 0 ? curve.value(static_cast<unsigned int>(existing)) : 0.0;
  const MObject node = source.node();
  curve.addKeyframe(time, value);
  recordUndo(call, std::make_unique<FunctionEntry>(
                       "setKeyframe",
                       [node, time, existing, before]() {
                         MFnAnimCurve keys(node);
                         if (existing >= 0)
                           keys.addKeyframe(time, before);
                         else if (keyAt(keys, time) >= 0)
                           keys.remove(static_cast<unsigned int>(keyAt(keys, time)));
                       },
                       [node, time, value]() { MFnAnimCurve(node).addKeyframe(time, value); }));
  return MS::kSuccess;
}

/// setKeyframe [-attribute name]... [-time t] [-value v] targets: keys each
/// plug named ("node.attribute", or a node with the attributes) at the time
/// (the current time when not given) with the value in user-interface units
/// (the plug's value when not given).
MStatus setKeyframeCommand(HostCall& call, const HostArgs& args) {
  MTime time = MAnimControl::currentTime();
  if (args.has("time") && !readTime(args.value("time"), time)) {
    displayError("setKeyframe: '" + args.value("time") + "' is not a time");
    return MS::kFailure;
  }
  double value = 0.0;
  if (args.has("value") && (!parseDouble(args.value("value"), value) || !std::isfinite(value))) {
    displayError("setKeyframe: '" + args.value("value") + "' is not a value");
    return MS::kFailure;
  }
  std::vector<MPlug> plugs;
  for (const std::string& target : args.positional()) {
    std::vector<std::string> names;
    if (args.has("attribute")) {
      for (const std::string& attribute : args.values("attribute")) names.push_back(target + "." + attribute);
    } else {
      names.push_back(target);
    }
    for (const std::string& name : names) {
      std::string error;
      const MPlug plug = plugByName(name, error);
      if (plug.isNull() || !plug.attributeImpl()->holdsNumber()) {
        displayError("setKeyframe: " + (plug.isNull() ? error : "'" + name + "' is not a number"));
        return MS::kFailure;
      }
      plugs.push_back(plug);
    }
  }
  if (plugs.empty()) {
    displayError("setKeyframe: give the attributes to key");
    return MS::kFailure;
  }
  for (const MPlug& plug : plugs)
    if (!keyPlug(call, plug, time, args.has("value") ? &value : nullptr)) return MS::kFailure;
  call.result.setInt(static_cast<int>(plugs.size()));
  return MS::kSuccess;
}

/// Time units also go by their rate: "24fps", "120fps".
bool timeUnitByName(const std::string& name, int& unit) {
  if (unitByName(kTimeUnits, name, unit)) return true;
  for (int candidate = MTime::kGames; candidate < MTime::kLast; ++candidate) {
    const double ticks = MTime::ticksPerUnit(static_cast<MTime::Unit>(candidate));
    if (ticks > 0.0 &&
        name == formatNumber(MTime(1.0, MTime::kSeconds).as(static_cast<MTime::Unit>(candidate))) + "fps") {
      unit = candidate;
      return true;
    }
  }
  return false;
}

MStatus currentUnitCommand(HostCall& call, const HostArgs& args) {
  if (args.query()) {
    const bool full = args.has("fullName");
    if (args.has("time"))
      call.result.setString(nameOfUnit(kTimeUnits, MTime::uiUnit(), full));
    else if (args.has("angle"))
      call.result.setString(nameOfUnit(kAngleUnits, MAngle::uiUnit(), full));
    else
      call.result.setString(nameOfUnit(kLinearUnits, MDistance::uiUnit(), full));
    return MS::kSuccess;
  }
  int linear = MDistance::uiUnit(), time = MTime::uiUnit(), angle = MAngle::uiUnit();
  if ((args.has("linear") && !unitByName(kLinearUnits, args.value("linear"), linear)) ||
      (args.has("time") && !timeUnitByName(args.value("time"), time)) ||
      (args.has("angle") && !unitByName(kAngleUnits, args.value("angle"), angle))) {
    displayError("currentUnit: unknown unit");
    return MS::kFailure;
  }
  MTime::setUIUnit(static_cast<MTime::Unit>(time));
  MAngle::setUIUnit(static_cast<MAngle::Unit>(angle));
  MDistance::setUIUnit(static_cast<MDistance::Unit>(linear));
  return MS::kSuccess;
}

MStatus undoInfoCommand(HostCall& call, const HostArgs& args) {
  UndoQueue& undo = undoQueue();
  if (args.query()) {
    if (args.has("undoName"))
      call.result.setString(undo.nextUndoName());
    else if (args.has("stateWithoutFlush"))
      call.result.setInt(undo.suspended() ? 0 : 1);
    else
      call.result.setInt(undo.enabled() && !undo.suspended() ? 1 : 0);
    return MS::kSuccess;
  }
  bool on = true;
  if (args.has("state")) {
    if (!parseBool(args.value("state"), on)) return MS::kFailure;
    undo.setEnabled(on);
  }
  if (args.has("stateWithoutFlush")) {
    if (!parseBool(args.value("stateWithoutFlush"), on)) return MS::kFailure;
    undo.setSuspended(!on);
  }
  if (args.has("flush")) undo.flush();
  return MS::kSuccess;
}

MStatus undoCommand(HostCall& call) {
  if (!call.call.words.empty()) return MS::kFailure;
  if (!undoQueue().undo()) displayWarning("There are no more commands to undo.");
  return MS::kSuccess;
}

MStatus redoCommand(HostCall& call) {
  if (!call.call.words.empty()) return MS::kFailure;
  const UndoQueue::Outcome outcome = undoQueue().redo();
  if (outcome == UndoQueue::Outcome::kNothing) displayWarning("There are no more commands to redo.");
  return outcome == UndoQueue::Outcome::kRefused ? MS::kFailure : MS::kSuccess;
}

/// flushUndo: empties the undo and redo stacks.
MStatus flushUndoCommand(HostCall&, const HostArgs&) {
  undoQueue().flush();
  return MS::kSuccess;
}

}  // namespace

void addTimeCommands(Interpreter& interpreter) {
  addFlaggedCommands(
      interpreter,
      {{"currentTime", currentTimeCommand, {{"q", "query", 0, 0}, {"e", "edit", 0, 0}, {"u", "update", 1, 1}}},
       {"playbackOptions",
        playbackOptionsCommand,
        {{"q", "query", 0, 0},
         {"min", "minTime", 1, 0},
         {"max", "maxTime", 1, 0},
         {"ast", "animationStartTime", 1, 0},
         {"aet", "animationEndTime", 1, 0},
         {"ps", "playbackSpeed", 1, 0}}},
       {"play", playCommand, {{"f", "forward", 1, 0}}},
       {"setKeyframe", setKeyframeCommand, {{"at", "attribute", 1, 0}, {"t", "time", 1, 0}, {"v", "value", 1, 0}}},
       {"currentUnit",
        currentUnitCommand,
        {{"q", "query", 0, 0},
         {"l", "linear", 1, 0},
         {"t", "time", 1, 0},
         {"a", "angle", 1, 0},
         {"f", "fullName", 0, 0},
         {"ua", "updateAnimation", 1, 1}}},
       {"undoInfo",
        undoInfoCommand,
        {{"q", "query", 0, 0},
         {"st", "state", 1, 0},
         {"swf", "stateWithoutFlush", 1, 0},
         {"fl", "flush", 0, 0},
         {"un", "undoName", 0, 0}}}});
  addFlaggedCommands(interpreter, {{"flushUndo", flushUndoCommand, {}}});
  interpreter.addHostCommands({{"undo", undoCommand}, {"redo", redoCommand}});
}

}  // namespace zovhost
