#pragma once

#include <functional>
#include <string>
#include <vector>

class IGraphics;
class LayerGroup;

// Switching the pages of the editor's layer groups. A group's children are its pages: the one
// whose id is the selected page is shown, the others hidden. Selecting a page that the group
// does not have changes nothing (and says so through the log).
class PageSelection
{
public:
  using Log = std::function<void(const std::string& line)>;

  // Shows the child with the page id and hides every other child; false (nothing changed) for
  // a null group or a page id no child has.
  static bool SelectPage(LayerGroup* group, int pageId, const Log& log = nullptr);
  // As SelectPage, touching only the children whose ids fall in the same block of page ids as
  // the selected one (10-19, 20-29, ... 90-99, 100-108, 110-118, 120-128, 130-298, 300 up);
  // children in other blocks keep their state.
  static bool SelectPageInBlock(LayerGroup* group, int pageId, const Log& log = nullptr);
  // The block of a page id (its first id), or -1 for ids in no block.
  static int PageBlock(int pageId);
  // Start-up: every top-level group is shown with its first page (the first child, unless its
  // current page already names a child), and so on down the tree. Overlays (top-level groups that
  // report dirt while hidden) stay hidden, and so do the layers named in startHidden: they are
  // never chosen as a first page, nor shown through a current page they share with a page.
  static void ShowFirstPages(IGraphics* graphics, const std::vector<std::string>& startHidden = {});

private:
  static bool Select(LayerGroup* group, int pageId, bool sameBlockOnly, const Log& log);
};
