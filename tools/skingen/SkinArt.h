#pragma once
// The painters of the skin, one per family of images. Each draws one frame of an image into a
// canvas whose origin is the frame's top-left corner.

#include "tools/skingen/SkinCanvas.h"
#include "tools/skingen/SkinRecipe.h"

class Layout;

// Control captions: the one size they are all drawn at (every caption fits its room at it, so none
// shrinks and stands out in its section; 9.35 px in the small editor), and the room kept free at
// each end of the caption rectangle so that neighbouring captions never touch.
constexpr double kCaptionSize = 11;
constexpr double kCaptionMargin = 1;

struct SkinFrame
{
  SkinCanvas& canvas;
  const SkinRecipe& recipe;
  const SkinPalette& palette;
  int index;    // 0 is the first frame (minimum, off, normal)
  int count;    // frames in the image
  double width; // of one frame
  double height;
  bool cellsStacked;    // radio cells one above the other (frames side by side)
  const Layout* layout; // the editor's layout, for the panel art (null: plain panels)
};

// Knob strips: "knob".
void DrawKnobFrame(SkinFrame& f);
// Two-state and plain controls: "button", "led", "icon", "plate", "slider".
void DrawButtonFrame(SkinFrame& f);
// Rows of cells: "radio" (normal row, then selected row) and "header" (captions over columns).
void DrawRadioFrame(SkinFrame& f);
// The text size of a radio strip's labels: the recipe's size=, else from the cell height.
double RadioLabelSize(const SkinRecipe& recipe, double cellHeight);
// The lines a radio label is drawn in: the label, or one line per word where the recipe says wrap=1
// (cells taller than wide).
std::vector<std::string> RadioLabelLines(const SkinRecipe& recipe, const std::string& label);
// Large art: "window", "page", "dialog", "section", "overlay".
void DrawPanelFrame(SkinFrame& f);
// The sections, captions and text fields of the layers a recipe names ("layers=a|b"), from the
// layout; originX/Y are the editor coordinates of the frame's top-left corner.
void DrawLayoutArt(SkinFrame& f, double originX, double originY);
// A panel section: frame, title bar with the title left and, when it has a lock, room for it right.
void DrawSection(SkinCanvas& c, const SkinPalette& p, double x, double y, double w, double h,
                 const std::string& title, bool lock = true);
// Effect-routing diagrams: "routing".
void DrawRoutingFrame(SkinFrame& f);
// A small picture of a waveform ("sine", "tri", "saw", "square", "pulse", "random") in a box.
void DrawWaveGlyph(SkinCanvas& c, const std::string& wave, double x, double y, double w, double h,
                   const SkinColour& colour);
