#pragma once
// Draws the skin images: the recipes and colour schemes of resources/src/skin, the rows of the
// image table, and out come PNG files with the same bytes on every run.

#include "tools/skingen/SkinCanvas.h"
#include "tools/skingen/SkinImageTable.h"
#include "tools/skingen/SkinRecipe.h"
#include "tools/skingen/SkinScheme.h"
#include "tools/layout/Layout.h"

#include <string>
#include <vector>

class SkinRenderer
{
public:
  // Reads images.txt and schemes.txt of the folder, the editor's layout (bindings.tsv and layout.txt
  // of its parent folder) and loads the fonts; false with a message.
  bool Load(const std::string& sourceFolder, std::string& error);

  // The whole strip of a row as a PNG; false with a message when the row has no usable recipe.
  bool Render(const SkinImageRow& row, std::vector<unsigned char>& png, std::string& error) const;
  // The strip's pixels (Cairo ARGB32, premultiplied); null with a message. The caller destroys it.
  cairo_surface_t* Draw(const SkinImageRow& row, std::string& error) const;
  // Every row into outFolder/<file name of the row>, each written to a temporary file and renamed.
  bool WriteAll(const std::string& outFolder, std::string& error) const;

  const SkinRecipeBook& Recipes() const { return recipes; }
  const SkinSchemes& Schemes() const { return schemes; }
  const Layout& EditorLayout() const { return layout; }
  // Width and height of the whole strip of a row by its recipe; false when there is none.
  bool StripSize(const SkinImageRow& row, int& width, int& height) const;

private:
  SkinRecipeBook recipes;
  SkinSchemes schemes;
  Layout layout;
  SkinFonts fonts;
};

// The PNG bytes of a surface (no time or text chunks).
bool EncodeSkinPng(cairo_surface_t* surface, std::vector<unsigned char>& png);
