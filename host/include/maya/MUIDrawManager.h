#pragma once

#include <maya/MColor.h>
#include <maya/MPoint.h>
#include <maya/MString.h>

#include <vector>

namespace MHWRender {

/// What a draw override adds to the view on top of its own drawing (text
/// here). Drawing calls count only between beginDrawable and endDrawable.
class MUIDrawManager {
 public:
  enum TextAlignment { kLeft, kCenter, kRight };
  enum FontSize { kDefaultFontSize = 12, kSmallFontSize = 9 };

  /// Host side: what was added, in order.
  struct Text {
    MPoint position;
    MString text;
    TextAlignment alignment;
    MColor color;
    unsigned int fontSize;
  };

  MUIDrawManager() = default;
  MUIDrawManager(const MUIDrawManager&) = delete;
  MUIDrawManager& operator=(const MUIDrawManager&) = delete;

  /// Starts a drawable with the default colour (white) and font size.
  void beginDrawable();
  void endDrawable();
  void setColor(const MColor& color);
  void setFontSize(unsigned int size);
  /// Text at a point of the object's space.
  void text(const MPoint& position, const MString& text, TextAlignment alignment = kLeft);

  /// Host side.
  const std::vector<Text>& texts() const { return m_texts; }

 private:
  bool m_open = false;
  MColor m_color{1.0f, 1.0f, 1.0f, 1.0f};
  unsigned int m_fontSize = kDefaultFontSize;
  std::vector<Text> m_texts;
};

}  // namespace MHWRender
