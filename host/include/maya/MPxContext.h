#pragma once

#include <maya/MCursor.h>
#include <maya/MEvent.h>
#include <maya/MStatus.h>
#include <maya/MString.h>

/// Base of plug-in tool contexts (made by context commands). The host makes
/// a context current with setToolTo: it calls toolOffCleanup on the context
/// it leaves and toolOnSetup on the new one, then hands the new one the
/// mouse events of the view (press, drag while moving, hold while still,
/// release). The handlers here do nothing.
class MPxContext {
 public:
  /// The slots of a tool's icon images.
  enum ImageIndex { kImage1, kImage2, kImage3 };

  MPxContext() = default;
  virtual ~MPxContext() = default;
  MPxContext(const MPxContext&) = delete;
  MPxContext& operator=(const MPxContext&) = delete;

  virtual void toolOnSetup(MEvent& event);
  virtual void toolOffCleanup();
  virtual MStatus doPress(MEvent& event);
  virtual MStatus doDrag(MEvent& event);
  virtual MStatus doHold(MEvent& event);
  virtual MStatus doRelease(MEvent& event);

  MStatus setTitleString(const MString& title);
  MString titleString() const { return m_title; }
  MStatus setImage(const MString& image, ImageIndex index);
  MString image(ImageIndex index, MStatus* status = nullptr) const;
  MStatus setHelpString(const MString& text);
  MString helpString() const { return m_help; }
  MStatus setCursor(const MCursor& cursor);
  MCursor cursor() const { return m_cursor; }

 private:
  MString m_title;
  MString m_images[3];
  MString m_help;
  MCursor m_cursor = MCursor::defaultCursor;
};
