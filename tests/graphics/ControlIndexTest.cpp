#include "GraphicsTestSupport.h"

#include "framework/graphics/LayerGroup.h"

#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace
{
// A control that logs every value reaching it: "name" for its own binding, "name/aux<pos>" for an
// aux entry. The log is shared, so the order of delivery across controls is visible.
class LoggingControl : public IControl
{
public:
  LoggingControl(IEffectBase* plug, std::vector<std::string>* log, std::string name, int paramIdx)
      : IControl(plug, IRectangle(0, 0, 4, 4), paramIdx), mLog(log), mName(std::move(name))
  {
  }
  bool Draw(IGraphics*) override { return true; }
  void ReceivePluginValue(double value) override
  {
    mLog->push_back(mName);
    IControl::ReceivePluginValue(value);
  }
  void ReceiveAuxPluginValue(int pos, double value) override
  {
    mLog->push_back(mName + "/aux" + std::to_string(pos));
    IControl::ReceiveAuxPluginValue(pos, value);
  }

private:
  std::vector<std::string>* mLog;
  std::string mName;
};

std::vector<std::string> Pushed(IGraphics& g, std::vector<std::string>& log, int paramIdx)
{
  log.clear();
  g.SyncParameterToControls(paramIdx, 0.5, true);
  return log;
}

using Names = std::vector<std::string>;
} // namespace

// A push reaches exactly the parameter's controls (own binding or first aux entry), in list order
// and then tree order, and follows the lists as controls and groups are added, rebound and deleted.
TEST(ControlIndex, PushReachesExactlyTheControlsOfItsParameter)
{
  HostlessPlug plug;
  TestGraphics g(&plug);
  std::vector<std::string> log;
  auto make = [&](const char* name, int idx) { return new LoggingControl(&plug, &log, name, idx); };

  g.AddControl(make("flatA", 5));
  IControl* flatB = make("flatB", 7);
  flatB->AddAuxParam(5);
  flatB->AddAuxParam(9);
  flatB->AddAuxParam(5); // a second entry of the same index is never reached
  g.AddControl(flatB);
  g.AddControl(make("unbound", -1));

  auto* panel = new LayerGroup(1, "panel");
  panel->AddControl(make("panelA", 5));
  auto* page = new LayerGroup(10, "page");
  page->AddControl(make("pageA", 9));
  panel->AddChildGroup(page);
  panel->AddControl(make("panelB", 5)); // own controls come before the children
  g.AddLayerGroup(panel);

  EXPECT_EQ(Pushed(g, log, 5), (Names{"flatA", "flatB/aux0", "panelA", "panelB"}));
  EXPECT_EQ(Pushed(g, log, 9), (Names{"flatB/aux1", "pageA"}));
  EXPECT_EQ(Pushed(g, log, 7), (Names{"flatB"}));
  EXPECT_EQ(Pushed(g, log, 8), Names{});
  EXPECT_EQ(Pushed(g, log, -1), Names{}); // unbound controls are no parameter's controls
  EXPECT_EQ(Pushed(g, log, 1 << 30), Names{});
  EXPECT_EQ(g.CountBoundControls(5), 4);

  // Added after the first push: to an attached group deep in the tree, and to the flat list.
  auto* sub = new LayerGroup(11, "sub");
  page->AddChildGroup(sub);
  sub->AddControl(make("subA", 5));
  g.AddControl(make("flatC", 5));
  EXPECT_EQ(Pushed(g, log, 5), (Names{"flatA", "flatB/aux0", "flatC", "panelA", "panelB", "subA"}));

  // Rebinding moves a control from one parameter to another; an aux binding added later counts.
  panel->GetControl(0)->SetParamIdx(9);
  sub->GetControl(0)->AddAuxParam(7);
  EXPECT_EQ(Pushed(g, log, 5), (Names{"flatA", "flatB/aux0", "flatC", "panelB", "subA"}));
  EXPECT_EQ(Pushed(g, log, 9), (Names{"flatB/aux1", "panelA", "pageA"}));
  EXPECT_EQ(Pushed(g, log, 7), (Names{"flatB", "subA/aux0"}));

  // Indices far beyond any table still find their controls.
  g.AddControl(make("far", 1 << 30));
  EXPECT_EQ(Pushed(g, log, 1 << 30), (Names{"far"}));

  // Deleted controls are never reached again (under AddressSanitizer a stale entry would fault).
  g.Resize(200, 100); // deletes the flat list; groups stay
  EXPECT_EQ(Pushed(g, log, 5), (Names{"panelB", "subA"}));
  EXPECT_EQ(Pushed(g, log, 1 << 30), Names{});
  g.AddControl(make("again", 5));
  EXPECT_EQ(Pushed(g, log, 5), (Names{"again", "panelB", "subA"}));
}

// On random trees the index delivers what the walk of every list delivers, for every index.
TEST(ControlIndex, EqualsTheWalkOnRandomTrees)
{
  HostlessPlug plug;
  std::mt19937 rng(15);
  for (int round = 0; round < 20; ++round)
  {
    TestGraphics g(&plug);
    std::vector<std::string> log;
    int serial = 0;
    auto make = [&]
    {
      const int idx = int(rng() % 40) - 3;
      auto* c = new LoggingControl(&plug, &log, "c" + std::to_string(serial++), idx);
      for (unsigned n = rng() % 4; n > 0; --n)
        c->AddAuxParam(int(rng() % 40) - 1);
      return c;
    };
    std::vector<LayerGroup*> groups;
    for (int i = 0; i < 30; ++i)
    {
      const unsigned pick = rng() % 4;
      if (pick == 0 || groups.empty())
      {
        auto* group = new LayerGroup(uint32_t(i), "g");
        if (groups.empty() || rng() % 2)
          g.AddLayerGroup(group);
        else
          groups[rng() % groups.size()]->AddChildGroup(group);
        groups.push_back(group);
      }
      else if (pick == 1)
        g.AddControl(make());
      else
        groups[rng() % groups.size()]->AddControl(make());
    }

    for (int idx = -2; idx < 42; ++idx)
    {
      const std::vector<std::string> indexed = Pushed(g, log, idx);
      // The walk: the flat list, then each top-level group's own walk of its tree.
      log.clear();
      if (idx >= 0)
      {
        for (int i = 0; i < g.NumControls(); ++i)
        {
          IControl* c = g.GetControl(i);
          if (c->ParamIdx() == idx) c->ReceivePluginValue(0.5);
          if (c->FindAuxParam(idx) >= 0) c->ReceiveAuxPluginValue(c->FindAuxParam(idx), 0.5);
        }
        for (int i = 0; i < g.NumLayerGroups(); ++i)
          g.GetLayerGroup(i)->SyncParameter(idx, 0.5, true);
      }
      EXPECT_EQ(indexed, log) << "round " << round << " index " << idx;
    }

    // A batch (as a recall hands over) delivers what its pushes one by one deliver, in its order.
    std::vector<IEditorHook::ParameterValue> batch;
    for (int n = 0; n < 60; ++n)
      batch.push_back({int(rng() % 44) - 2, 0.5});
    std::vector<std::string> oneByOne;
    for (const IEditorHook::ParameterValue& v : batch)
    {
      const std::vector<std::string> pushed = Pushed(g, log, v.index);
      oneByOne.insert(oneByOne.end(), pushed.begin(), pushed.end());
    }
    log.clear();
    g.SyncParametersToControls(batch.data(), int(batch.size()));
    EXPECT_EQ(log, oneByOne) << "round " << round;
  }
}

// The MIDI thread pushes while the editor is built and torn down under the list lock: every push
// finds a consistent index, and once building stops each control holds its parameter's last value.
TEST(ControlIndex, PushesFromAnotherThreadWhileControlsComeAndGo)
{
  HostlessPlug plug;
  TestGraphics g(&plug);
  constexpr int kParams = 64;
  std::atomic<bool> stop{false};
  std::thread midi(
      [&]
      {
        for (int n = 0; !stop.load(); ++n)
          g.SyncParameterToControls(n % kParams, double(n % 7) / 8.0, true);
      });

  for (int round = 0; round < 30; ++round)
  {
    g.Resize(200, 100); // deletes the flat list under the lock
    for (int i = 0; i < 40; ++i)
      g.AddControl(new CountingControl(&plug, IRectangle(0, 0, 4, 4), (i * 5 + round) % kParams));
    // A group is filled before it is attached, as the document walker does.
    auto* group = new LayerGroup(uint32_t(round), "built");
    for (int i = 0; i < 20; ++i)
    {
      auto* c = new CountingControl(&plug, IRectangle(0, 0, 4, 4), (i * 3 + round) % kParams);
      c->AddAuxParam((i + 1) % kParams);
      group->AddControl(c);
    }
    g.AddLayerGroup(group);
  }
  stop = true;
  midi.join();

  for (int p = 0; p < kParams; ++p)
    g.SyncParameterToControls(p, 0.25 + p / 1000.0, true);
  for (int i = 0; i < g.NumControls(); ++i)
    EXPECT_DOUBLE_EQ(g.GetControl(i)->Value(), 0.25 + g.GetControl(i)->ParamIdx() / 1000.0);
  for (int gi = 0; gi < g.NumLayerGroups(); ++gi)
  {
    const LayerGroup* group = g.GetLayerGroup(gi);
    for (int i = 0; i < group->NumControls(); ++i)
    {
      const IControl* c = group->GetControl(i);
      EXPECT_DOUBLE_EQ(c->Value(), 0.25 + c->ParamIdx() / 1000.0);
      EXPECT_DOUBLE_EQ(c->AuxValue(0), 0.25 + c->AuxParamIdx(0) / 1000.0);
    }
  }
}
