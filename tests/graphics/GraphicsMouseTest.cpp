#include "GraphicsTestSupport.h"

#include "framework/graphics/LayerGroup.h"

#include <gtest/gtest.h>

namespace
{
const IMouseMod kLeft(true, false);
const IMouseMod kRight(false, true);
} // namespace

TEST(GraphicsMouse, HitTestingOrderAndCapture)
{
  HostlessPlug plug;
  TestGraphics g(&plug);
  auto* bottom = new CountingControl(&plug, IRectangle(0, 0, 50, 50));
  auto* top = new CountingControl(&plug, IRectangle(20, 20, 70, 70));
  g.AddControl(bottom);
  g.AddControl(top);

  EXPECT_EQ(g.FindControlAt(30, 30), top); // the last added is topmost
  EXPECT_EQ(g.FindControlAt(10, 10), bottom);
  EXPECT_EQ(g.FindControlAt(70, 30), nullptr); // right edge is outside
  top->SetGreyed(true);
  EXPECT_EQ(g.FindControlAt(30, 30), bottom); // greyed controls of the flat list are passed over
  top->SetGreyed(false);
  top->Hide(true);
  EXPECT_EQ(g.FindControlAt(30, 30), bottom);
  top->Hide(false);

  // Groups come before the flat list, the last group first; greyed group controls are found.
  auto* g1 = new LayerGroup(1, "one");
  auto* g2 = new LayerGroup(2, "two");
  auto* inG1 = new CountingControl(&plug, IRectangle(25, 25, 35, 35));
  auto* inG2 = new CountingControl(&plug, IRectangle(25, 25, 35, 35));
  g1->AddControl(inG1);
  g2->AddControl(inG2);
  g.AddLayerGroup(g1);
  g.AddLayerGroup(g2);
  EXPECT_EQ(g.FindControlAt(30, 30), top); // both groups invisible
  g1->Hide(false);
  EXPECT_EQ(g.FindControlAt(30, 30), inG1);
  g2->Hide(false);
  EXPECT_EQ(g.FindControlAt(30, 30), inG2);
  inG2->SetGreyed(true);
  EXPECT_EQ(g.FindControlAt(30, 30), inG2);

  // While the button is held, every hit test and drag goes to the captured control.
  g.OnMouseDown(10, 10, kLeft);
  EXPECT_EQ(g.CapturedControl(), bottom);
  EXPECT_EQ(g.FindControlAt(190, 90), bottom);
  g.OnMouseDrag(10, 10, kLeft); // no move: no drag
  g.OnMouseDrag(13, 5, kLeft);
  g.OnMouseDrag(190, 90, kLeft);
  ASSERT_EQ(bottom->drags.size(), 2u);
  EXPECT_EQ(bottom->drags[0], std::make_pair(3, -5));
  EXPECT_EQ(bottom->drags[1], std::make_pair(177, 85));
  g.OnMouseUp(190, 90, kLeft);
  ASSERT_EQ(bottom->releases.size(), 1u);
  EXPECT_EQ(g.CapturedControl(), nullptr);
  EXPECT_EQ(g.FindControlAt(190, 90), nullptr);
  g.OnMouseDrag(20, 20, kLeft); // nothing captured
  EXPECT_EQ(bottom->drags.size(), 2u);

  g.OnMouseDown(190, 90, kLeft); // a press on nothing captures nothing
  EXPECT_EQ(g.CapturedControl(), nullptr);
}

TEST(GraphicsMouse, ParameterEditsAreBalancedForTheControlThatBeganThem)
{
  HostlessPlug plug;
  TestGraphics g(&plug);
  auto* a = new CountingControl(&plug, IRectangle(0, 0, 10, 10), 5);
  auto* b = new CountingControl(&plug, IRectangle(20, 0, 30, 10), 6);
  auto* unbound = new CountingControl(&plug, IRectangle(40, 0, 50, 10));
  g.AddControl(a);
  g.AddControl(b);
  g.AddControl(unbound);

  g.OnMouseDown(5, 5, kLeft);
  g.OnMouseUp(5, 5, kLeft);
  EXPECT_EQ(plug.events, (std::vector<std::string>{"begin 5", "end 5"}));

  // A press whose release is lost: the next press ends the first edit before beginning its own.
  plug.events.clear();
  g.OnMouseDown(5, 5, kLeft);
  g.OnMouseDown(25, 5, kLeft);
  g.OnMouseUp(25, 5, kLeft);
  EXPECT_EQ(plug.events, (std::vector<std::string>{"begin 5", "end 5", "begin 6", "end 6"}));

  // A release without a press, and presses on unbound controls, ask nothing of the host.
  plug.events.clear();
  g.OnMouseUp(5, 5, kLeft);
  g.OnMouseDown(45, 5, kLeft);
  g.OnMouseUp(45, 5, kLeft);
  EXPECT_TRUE(plug.events.empty());

  // A prompt that forgets the capture: the release lands elsewhere, the edit still ends for 5.
  g.OnMouseDown(5, 5, kLeft);
  g.ReleaseMouseCapture();
  g.OnMouseUp(25, 5, kLeft);
  EXPECT_EQ(plug.events, (std::vector<std::string>{"begin 5", "end 5"}));
  EXPECT_EQ(b->releases.size(), 2u);

  // A double click that counts as a press begins an edit its release ends.
  plug.events.clear();
  b->SetDblClickAsPress(true);
  g.OnMouseDblClick(25, 5, kLeft);
  EXPECT_EQ(g.CapturedControl(), b);
  EXPECT_EQ(b->dblClicks, 0);
  g.OnMouseUp(25, 5, kLeft);
  EXPECT_EQ(plug.events, (std::vector<std::string>{"begin 6", "end 6"}));
  g.OnMouseDblClick(5, 5, kLeft);
  EXPECT_EQ(a->dblClicks, 1);
  EXPECT_EQ(g.CapturedControl(), nullptr);

  // Resizing while a button is held closes the edit (the control is gone).
  plug.events.clear();
  g.OnMouseDown(5, 5, kLeft);
  g.Resize(300, 200);
  EXPECT_EQ(plug.events, (std::vector<std::string>{"begin 5", "end 5"}));
  EXPECT_EQ(g.NumControls(), 0);
  EXPECT_EQ(g.Width(), 300);
  EXPECT_EQ(plug.editorSizeUpdates, 1);
  ASSERT_NE(g.DrawBitmapSurface(), nullptr);
  EXPECT_EQ(g.DrawBitmapSurface()->Width(), 300);
}

TEST(GraphicsMouse, WheelAndKeys)
{
  HostlessPlug plug;
  TestGraphics g(&plug);
  auto* c = new CountingControl(&plug, IRectangle(0, 0, 10, 10), 5);
  g.AddControl(c);
  auto* group = new LayerGroup(1, "group");
  auto* greyed = new CountingControl(&plug, IRectangle(20, 0, 30, 10), 6);
  group->AddControl(greyed);
  g.AddLayerGroup(group);
  group->Hide(false);
  greyed->SetValue(0.5);
  greyed->SetGreyed(true);

  c->SetValue(0.5);
  g.OnMouseWheel(5, 5, IMouseMod(), 3);
  EXPECT_NEAR(c->Value(), 0.53, 1e-12);
  g.OnMouseWheel(5, 5, IMouseMod(false, false, true), 3);
  EXPECT_NEAR(c->Value(), 0.533, 1e-12);
  g.OnMouseWheel(5, 5, IMouseMod(false, false, false, true), -3);
  EXPECT_NEAR(c->Value(), 0.53, 1e-12);
  c->SetValue(0.995);
  g.OnMouseWheel(5, 5, IMouseMod(), 1);
  EXPECT_DOUBLE_EQ(c->Value(), 1.0); // clamped when pushed
  ASSERT_FALSE(plug.automated.empty());
  EXPECT_EQ(plug.automated.back(), std::make_pair(5, 1.0));

  // A greyed control in a group is found, but the wheel does not move it.
  const size_t pushes = plug.automated.size();
  g.OnMouseWheel(25, 5, IMouseMod(), 5);
  EXPECT_DOUBLE_EQ(greyed->Value(), 0.5);
  EXPECT_EQ(plug.automated.size(), pushes);

  EXPECT_FALSE(g.OnKeyDown(5, 5, IControl::kKeyUp)); // the base control takes no key
  EXPECT_FALSE(g.OnKeyDown(150, 50, IControl::kKeyUp));
}
