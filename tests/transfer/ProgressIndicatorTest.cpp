// The overlay in its group: added with the group's redraw reporting switched on throughout, so that
// hiding it repaints what it covered; it covers the whole editor whatever its image's size.
#include "framework/graphics/LayerGroup.h"
#include "link/transfer/ProgressIndicator.h"
#include "tests/editor/EditorTestSupport.h"

#include <gtest/gtest.h>

TEST(ProgressIndicator, AddedToItsGroupItCoversTheEditorAndHiddenGroupsReportRedraws)
{
  EXPECT_EQ(ProgressIndicator::AddTo(nullptr, nullptr, 100, 50, IBitmapStrip(), IRectangle()), nullptr);

  LayerGroup group(0, "PROGRESS");
  PlainControl* before = nullptr;
  PlainControl* inPage = nullptr;
  group.AddControl(before = new PlainControl());
  LayerGroup* page = Page(1, "PROGRESS CANCEL", &inPage);
  ASSERT_GE(group.AddChildGroup(page), 0);

  // A small image still covers the whole editor.
  ProgressIndicator* overlay = ProgressIndicator::AddTo(
      &group, nullptr, 1500, 757, IBitmapStrip(nullptr, 20, 10), IRectangle(0, 0, 1500, 757));
  ASSERT_NE(overlay, nullptr);
  EXPECT_EQ(overlay->Group(), &group);
  EXPECT_EQ(group.GetControl(group.NumControls() - 1), overlay);
  EXPECT_EQ(overlay->Rect().L, 0);
  EXPECT_EQ(overlay->Rect().T, 0);
  EXPECT_EQ(overlay->Rect().R, 1500);
  EXPECT_EQ(overlay->Rect().B, 757);
  EXPECT_EQ(overlay->ParamIdx(), -1);
  EXPECT_TRUE(overlay->ContainsPoint(1499, 756));

  EXPECT_TRUE(group.ReportDirtyWhenHidden());
  EXPECT_TRUE(page->ReportDirtyWhenHidden());
  EXPECT_TRUE(before->ReportDirtyWhenHidden());
  EXPECT_TRUE(inPage->ReportDirtyWhenHidden());
  EXPECT_TRUE(overlay->ReportDirtyWhenHidden());

  // Presses go nowhere; without an image nothing is drawn.
  const double value = overlay->Value();
  overlay->OnMouseDown(3, 3, IMouseMod());
  overlay->OnMouseDblClick(3, 3, IMouseMod());
  EXPECT_EQ(overlay->Value(), value);
  EXPECT_FALSE(overlay->Draw(nullptr));
}
