#include "framework/plugin/IParameter.h"
#include "framework/plugin/ParameterTable.h"
#include "tests/support/CommaLocale.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace
{
std::string Shown(const IParameter& p, double v, bool normalised = false, bool texts = true)
{
  char out[64];
  p.DisplayValue(v, normalised, out, sizeof(out), texts);
  return out;
}
} // namespace

TEST(IParameter, SetupKeepsRangesAtLeastOneStep)
{
  IParameter p;
  EXPECT_EQ(p.Type(), IParameter::kTypeUnset);
  p.SetupContinuous("Cutoff", 5.0, 0.0, 0.0, 1.0, "Filter");
  EXPECT_EQ(p.Type(), IParameter::kTypeContinuous);
  EXPECT_EQ(p.Max(), 1.0);
  EXPECT_EQ(p.Value(), 5.0); // the default is taken as given
  EXPECT_STREQ(p.Name(), "Cutoff");
  EXPECT_STREQ(p.Group(), "Filter");

  IParameter e;
  e.SetupEnumerated("Wave", 0, 1, "Osc");
  EXPECT_EQ(e.Type(), IParameter::kTypeEnumerated);
  EXPECT_EQ(e.Min(), 0.0);
  EXPECT_EQ(e.Max(), 1.0);

  IParameter b;
  b.SetType(IParameter::kTypeBool); // a type set by the caller is kept
  b.SetupEnumerated("On", 1, 2, "");
  EXPECT_EQ(b.Type(), IParameter::kTypeBool);
  EXPECT_EQ(b.Max(), 1.0);

  // Long texts are cut to their fields.
  IParameter l;
  const std::string longName(80, 'n');
  l.SetupContinuous(longName.c_str(), 0, 0, 1, 1, longName.c_str());
  EXPECT_EQ(std::string(l.Name()).size(), 54u);
  EXPECT_EQ(std::string(l.Group()).size(), 47u);
}

TEST(IParameter, DisplayPrecisionFollowsStep)
{
  IParameter p;
  p.SetupContinuous("a", 0, 0, 1, 0.01, "");
  EXPECT_EQ(p.DisplayPrecision(), 2);
  p.SetupContinuous("a", 0, 0, 10, 1.0, "");
  EXPECT_EQ(p.DisplayPrecision(), 0);
  p.SetupContinuous("a", 0, 0, 1, 1.0 / 3.0, "");
  EXPECT_EQ(p.DisplayPrecision(), 6);
  p.SetupContinuous("a", 0, 0, 1, 0.5, "");
  EXPECT_EQ(p.DisplayPrecision(), 1);
}

TEST(IParameter, SetFromNormalisedSnapsAndCaps)
{
  IParameter p;
  p.SetupEnumerated("Level", 0, 128, "");
  p.SetFromNormalised(0.5);
  EXPECT_EQ(p.Value(), 64.0); // 63.5 snaps up

  IParameter c;
  c.SetupContinuous("Level", 0, 0, 127, 1, "");
  c.SetFromNormalised(0.5);
  EXPECT_EQ(c.Value(), 63.5); // continuous: never snapped

  IParameter s3;
  s3.SetType(IParameter::kTypeEnumerated);
  s3.SetupContinuous("x", 0, 0, 10, 3, "");
  s3.SetFromNormalised(1.0);
  EXPECT_EQ(s3.Value(), 9.0);

  IParameter s4;
  s4.SetType(IParameter::kTypeEnumerated);
  s4.SetupContinuous("x", 0, 0, 10, 4, "");
  s4.SetFromNormalised(1.0);
  EXPECT_EQ(s4.Value(), 10.0); // 12 capped to the maximum

  // The grid counts from 0, so an off-grid minimum could snap below it.
  IParameter off;
  off.SetType(IParameter::kTypeEnumerated);
  off.SetupContinuous("x", 1, 1, 9, 4, "");
  off.SetFromNormalised(0.0);
  EXPECT_EQ(off.Value(), 1.0);

  // Out-of-range and non-numbers stay inside the range.
  p.SetFromNormalised(2.0);
  EXPECT_EQ(p.Value(), 127.0);
  p.SetFromNormalised(-1.0);
  EXPECT_EQ(p.Value(), 0.0);
  p.SetFromNormalised(std::nan(""));
  EXPECT_EQ(p.Value(), 0.0);

  // A step of 0 skips snapping instead of dividing by zero.
  IParameter z;
  z.SetType(IParameter::kTypeEnumerated);
  z.SetupContinuous("x", 0, 0, 10, 0, "");
  z.SetFromNormalised(0.25);
  EXPECT_EQ(z.Value(), 2.5);

  // Shape 2: v = min + range * n^2.
  IParameter sh;
  sh.SetupContinuous("x", 0, 0, 100, 0.01, "");
  sh.SetShape(2.0);
  sh.SetFromNormalised(0.5);
  EXPECT_DOUBLE_EQ(sh.Value(), 25.0);
}

TEST(IParameter, NormaliseValueClampsAndShapes)
{
  IParameter p;
  p.SetupContinuous("x", 0, 10, 20, 0.1, "");
  EXPECT_DOUBLE_EQ(p.NormaliseValue(15), 0.5);
  EXPECT_DOUBLE_EQ(p.NormaliseValue(-3), 0.0);
  EXPECT_DOUBLE_EQ(p.NormaliseValue(99), 1.0);
  EXPECT_DOUBLE_EQ(p.NormaliseValue(std::nan("")), 0.0);
  p.SetShape(2.0);
  EXPECT_NEAR(p.NormaliseValue(15), 0.70710678, 1e-8);
  p.SetShape(0.0); // treated as 1 rather than dividing by zero
  EXPECT_DOUBLE_EQ(p.NormaliseValue(15), 0.5);
  p.SetShape(-2.0);
  EXPECT_DOUBLE_EQ(p.NormaliseValue(15), 0.5);

  // The round trip through the normalised scale lands on the same step.
  IParameter e;
  e.SetupEnumerated("x", 0, 128, "");
  for (int v = 0; v < 128; ++v)
  {
    e.SetClamped(v);
    e.SetFromNormalised(e.NormalisedValue());
    EXPECT_EQ(e.Value(), double(v));
  }

  // A step of 0 can leave an empty range: 0, not a division by zero.
  IParameter empty;
  empty.SetupContinuous("x", 3, 3, 3, 0, "");
  EXPECT_EQ(empty.NormaliseValue(3), 0.0);
}

// A parameter of a table keeps its value and range in the table's record, and behaves as one that
// keeps its own.
TEST(IParameter, OneKeepingItsRangeInATableBehavesAsOneOfItsOwn)
{
  ParameterTable table;
  ASSERT_TRUE(table.Make(3));
  EXPECT_FALSE(table.Make(3)); // once
  IParameter own;
  for (IParameter* p : {&own, &table.Parameter(1)})
  {
    p->SetupContinuous("Cutoff", 2, -10, 20, 0.5, "Filter");
    p->SetShape(2.0);
    p->SetClamped(7.5);
  }
  IParameter& kept = table.Parameter(1);
  ParameterRange& range = table.Range(1);
  EXPECT_EQ(range.Value(), 7.5);
  EXPECT_EQ(range.min, -10.0);
  EXPECT_EQ(range.max, 20.0);
  EXPECT_EQ(range.shape, 2.0);
  EXPECT_EQ(kept.NormalisedValue(), own.NormalisedValue());
  EXPECT_EQ(table.Range(0).Value(), 0.0); // its neighbours untouched
  EXPECT_EQ(table.Range(2).max, 1.0);
  EXPECT_STREQ(kept.Name(), "Cutoff");

  for (IParameter* p : {&own, &kept})
  {
    p->SetConstrained(3.3); // continuous: not snapped
    EXPECT_EQ(p->Value(), 3.3);
    p->SetType(IParameter::kTypeEnumerated);
    p->SetConstrained(3.3);
    EXPECT_EQ(p->Value(), 3.5);
    EXPECT_TRUE(p->AddValueText(30, "top")); // a text past the end grows the range
    EXPECT_EQ(p->Max(), 30.0);
  }
  EXPECT_EQ(range.type, IParameter::kTypeEnumerated);
  EXPECT_EQ(range.max, 30.0);
  range.Store(12.0);
  EXPECT_EQ(kept.Value(), 12.0);
  EXPECT_EQ(own.Value(), 3.5);
}

TEST(IParameter, SetClampedKeepsFiniteValuesInRange)
{
  IParameter p;
  p.SetupContinuous("x", 0, 0, 1, 0.01, "");
  p.SetClamped(5.0);
  EXPECT_EQ(p.Value(), 1.0);
  p.SetClamped(-5.0);
  EXPECT_EQ(p.Value(), 0.0);
  p.SetClamped(0.333);
  EXPECT_EQ(p.Value(), 0.333); // no snapping
  p.SetClamped(std::numeric_limits<double>::infinity());
  EXPECT_EQ(p.Value(), 0.0);
  p.SetClamped(0.5);
  p.SetClamped(std::nan(""));
  EXPECT_EQ(p.Value(), 0.0);
}

// A recalled value lands where a control would put it, and a value a control put somewhere is
// recalled exactly: every step of every kind of range, also those whose grid points arithmetic
// cannot hit exactly (steps of 0.1, shaped scales).
TEST(IParameter, SetConstrainedPutsValuesOnTheGridAndKeepsThoseOnIt)
{
  IParameter p;
  p.SetupEnumerated("Curve", 0, 128, "");
  p.SetConstrained(1e300);
  EXPECT_EQ(p.Value(), 127.0);
  p.SetConstrained(-1e300);
  EXPECT_EQ(p.Value(), 0.0);
  p.SetConstrained(0.37);
  EXPECT_EQ(p.Value(), 0.0);
  p.SetConstrained(41.5); // halves go up, as on the control path
  EXPECT_EQ(p.Value(), 42.0);
  p.SetConstrained(std::nextafter(3.0, 0.0)); // 2.9999999999999996: 3, exactly
  EXPECT_EQ(p.Value(), 3.0);
  p.SetConstrained(std::numeric_limits<double>::quiet_NaN());
  EXPECT_EQ(p.Value(), 0.0);

  IParameter half;
  half.SetupContinuous("Half", 0, -12, 12, 0.5, "");
  half.SetType(IParameter::kTypeEnumerated);
  half.SetConstrained(0.37);
  EXPECT_EQ(half.Value(), 0.5);

  IParameter continuous;
  continuous.SetupContinuous("Level", 0, 0, 1, 0.01, "");
  continuous.SetConstrained(0.377);
  EXPECT_EQ(continuous.Value(), 0.377); // never snapped
  continuous.SetConstrained(2.0);
  EXPECT_EQ(continuous.Value(), 1.0);

  struct Range
  {
    double min, max, step, shape;
  };
  for (const Range r :
       {Range{0, 127, 1, 1}, Range{-64, 63, 1, 1}, Range{0, 10, 0.1, 1}, Range{-1, 1, 0.01, 1},
        Range{0, 127, 1, 2.5}, Range{0, 16383, 1, 1}, Range{1, 99, 0.5, 0.4}})
  {
    IParameter q;
    q.SetupContinuous("q", r.min, r.min, r.max, r.step, "");
    q.SetType(IParameter::kTypeEnumerated);
    q.SetShape(r.shape);
    const int count = int(std::lround((r.max - r.min) / r.step)) + 1;
    for (int k = 0; k < count; ++k)
    {
      // As a control sets it, and as a dump sets it.
      q.SetFromNormalised(q.NormaliseValue(r.min + k * r.step));
      const double fromControl = q.Value();
      q.SetConstrained(fromControl);
      ASSERT_EQ(q.Value(), fromControl) << r.min << ".." << r.max << " step " << r.step << " value " << k;
      // As arithmetic leaves it: on the same grid point, and kept there by the next recall.
      const double plain = r.min + k * r.step;
      q.SetConstrained(plain);
      ASSERT_EQ(std::lround(q.Value() / r.step), std::lround(fromControl / r.step))
          << r.min << ".." << r.max << " step " << r.step << " value " << k;
      const double placed = q.Value();
      q.SetConstrained(placed);
      ASSERT_EQ(q.Value(), placed) << r.min << ".." << r.max << " step " << r.step << " value " << k;
    }
  }
}

// A recalled value a hair off its step is put on it, and every integer reading of a value rounds
// to the nearest step: 1 - 1e-12 is 1, not 0, for a switch as for a knob that is never snapped.
TEST(IParameter, AValueAHairOffItsStepIsReadAsThatStep)
{
  IParameter filter;
  filter.SetupContinuous("Filter", 0, 0, 1, 1, "");
  filter.SetType(IParameter::kTypeBool);
  filter.SetConstrained(1.0 - 1e-12);
  EXPECT_EQ(filter.Value(), 1.0);
  EXPECT_EQ(filter.IntValue(), 1);
  filter.SetClamped(1.0 - 1e-12); // set without snapping
  EXPECT_EQ(filter.IntValue(), 1);
  filter.SetClamped(0.4);
  EXPECT_EQ(filter.IntValue(), 0);

  IParameter knob;
  knob.SetupContinuous("Level", 0, 0, 127, 1, "");
  knob.SetConstrained(63.9999999999); // continuous: kept where it was
  EXPECT_EQ(knob.Value(), 63.9999999999);
  EXPECT_EQ(knob.IntValue(), 64);
  knob.SetClamped(63.5); // halves go up, as a control snaps
  EXPECT_EQ(knob.IntValue(), 64);
  knob.SetClamped(63.49);
  EXPECT_EQ(knob.IntValue(), 63);

  IParameter half;
  half.SetupContinuous("Half", 0, -12, 12, 0.5, "");
  half.SetClamped(-2.76);
  EXPECT_EQ(half.IntValue(), -3); // the step -3.0
  half.SetClamped(2.3);
  EXPECT_EQ(half.IntValue(), 3); // the step 2.5, as a whole number

  EXPECT_EQ(NearestWhole(-0.5), 0);
  EXPECT_EQ(NearestWhole(-0.51), -1);
  EXPECT_EQ(NearestWhole(std::nan("")), 0);
  EXPECT_EQ(NearestWhole(1e300), std::numeric_limits<int>::max());
  EXPECT_EQ(NearestWhole(-1e300), std::numeric_limits<int>::min());
}

TEST(IParameter, ValueTextsGrowTheRange)
{
  IParameter p;
  p.SetupEnumerated("Mode", 0, 1, "");
  EXPECT_TRUE(p.AddValueText(0, "Off"));
  EXPECT_TRUE(p.AddValueText(1, "Slow"));
  EXPECT_TRUE(p.AddValueText(2, "Fast"));
  EXPECT_EQ(p.ValueTextCount(), 3);
  EXPECT_EQ(p.Max(), 2.0);
  EXPECT_STREQ(p.ValueText(1), "Slow");

  EXPECT_TRUE(p.AddValueText(1, "Medium")); // lower value: range unchanged
  EXPECT_EQ(p.Max(), 2.0);
  EXPECT_EQ(p.ValueTextCount(), 3);
  EXPECT_STREQ(p.ValueText(1), "Medium");
  EXPECT_STREQ(p.ValueText(2), "Fast");

  EXPECT_TRUE(p.AddValueText(5, "Five")); // gap entries exist with empty texts
  EXPECT_EQ(p.ValueTextCount(), 6);
  EXPECT_EQ(p.Max(), 5.0);
  EXPECT_STREQ(p.ValueText(3), "");
  EXPECT_STREQ(p.ValueText(9), "");

  EXPECT_FALSE(p.AddValueText(-1, "neg"));
  EXPECT_FALSE(p.AddValueText(std::numeric_limits<int>::max(), "huge"));
  EXPECT_EQ(p.ValueTextCount(), 6);
  EXPECT_EQ(p.Max(), 5.0);

  const std::string longText(70, 't');
  p.AddValueText(4, longText.c_str());
  EXPECT_EQ(std::string(p.ValueText(4)).size(), 55u);

  // The host label is empty where a display text speaks for the value.
  p.SetClamped(2);
  EXPECT_STREQ(p.HostLabel(), "");
  p.SetClamped(3);
  EXPECT_STREQ(p.HostLabel(), p.Label());
}

TEST(IParameter, DisplayValueTextsAndNumbers)
{
  IParameter p;
  p.SetupEnumerated("Mode", 0, 4, "");
  EXPECT_EQ(Shown(p, 2.9), "3"); // no texts, precision 0: the nearest step
  EXPECT_EQ(Shown(p, 2.4), "2");
  p.AddValueText(0, "Zero");
  p.AddValueText(2, "Two");
  EXPECT_EQ(Shown(p, 2.4), "Two");
  EXPECT_EQ(Shown(p, 1.9999999), "Two"); // a hair below 2 is 2
  EXPECT_EQ(Shown(p, 2.4, false, false), "2");
  EXPECT_EQ(Shown(p, 1.0), "1");                // an entry with an empty text shows the number
  EXPECT_EQ(Shown(p, 1.0, true), "Two");        // normalised 1.0 is the maximum, 2
  EXPECT_EQ(Shown(p, -0.5), "Zero");            // halves go up
  EXPECT_EQ(Shown(p, -0.5, false, false), "0"); // and no "-0"

  IParameter c;
  c.SetupContinuous("Gain", 0, -1, 1, 0.01, "");
  EXPECT_EQ(Shown(c, 0.256), "0.26");
  EXPECT_EQ(Shown(c, -0.5), "-0.50");
  EXPECT_EQ(Shown(c, 0.5, true), "0.00");
  EXPECT_EQ(Shown(c, std::nan("")), "-1.00");
  EXPECT_EQ(Shown(c, std::numeric_limits<double>::infinity()), "-1.00");
  EXPECT_EQ(Shown(c, 1e300).size(), 63u); // huge values are cut to the buffer

  // The output never runs past the given size.
  char small[5] = {'x', 'x', 'x', 'x', 'x'};
  c.DisplayValue(-0.5, false, small, 4, false);
  EXPECT_STREQ(small, "-0.");
  EXPECT_EQ(small[4], 'x');
  p.DisplayValue(2, false, small, 1, true);
  EXPECT_STREQ(small, "");
  p.DisplayValue(2, false, small, 0, true); // nothing written at all
  EXPECT_STREQ(small, "");
}

TEST(IParameter, DisplayValueIgnoresTheHostLocale)
{
  CommaLocale comma;
  if (!comma.Active()) GTEST_SKIP() << "no comma-decimal locale could be made (localedef missing)";
  IParameter c;
  c.SetupContinuous("Gain", 0, -1, 1, 0.01, "");
  EXPECT_EQ(Shown(c, 0.25), "0.25");
  EXPECT_EQ(Shown(c, 0.75, true), "0.50");
}

// A recall trusts the count of value changes to know whether something else set a value while it
// ran: every way a parameter's value changes counts, setting the value it holds does not, and a
// write straight to the range (the recall's own) is not one of them.
TEST(IParameter, ValueChangesCountEveryChangeAndOnlyChanges)
{
  IParameter p;
  p.SetupContinuous("Level", 0, 0, 10, 0.5, "");
  uint64_t last = IParameter::ValueChanges();
  const auto changed = [&]
  {
    const uint64_t now = IParameter::ValueChanges();
    const bool moved = now != last;
    last = now;
    return moved;
  };
  p.SetClamped(2.5);
  EXPECT_TRUE(changed());
  p.SetClamped(2.5);
  EXPECT_FALSE(changed()) << "the same value again";
  p.SetConstrained(3.0);
  EXPECT_TRUE(changed());
  p.SetFromNormalised(1.0);
  EXPECT_TRUE(changed());
  EXPECT_EQ(p.Value(), 10.0);
  p.SetFromNormalised(1.5); // clamped to where it is
  EXPECT_FALSE(changed());
  p.SetClamped(0.0);
  EXPECT_TRUE(changed());
  p.SetClamped(-0.0); // the same number, not the same bits
  EXPECT_TRUE(changed());

  p.SetValueTexts({"off", "on"}); // 10 no longer fits: back to 0
  p.SetClamped(1.0);
  changed();
  p.SetValueTexts({"only"});
  EXPECT_EQ(p.Value(), 0.0);
  EXPECT_TRUE(changed());

  ParameterTable table;
  ASSERT_TRUE(table.Make(1));
  table.Parameter(0).SetupContinuous("Cutoff", 0, 0, 1, 0.01, "");
  changed();
  table.Range(0).Store(0.5);
  EXPECT_FALSE(changed()) << "the range's own store";
  table.Parameter(0).SetClamped(0.25);
  EXPECT_TRUE(changed());
}
