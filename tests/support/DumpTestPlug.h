#pragma once

// A plug-in on the framework base whose dump parameters have the ranges their dump fields can
// carry, for the dump tests, the dump fuzz target and the dump benchmark.

#include "framework/plugin/IEditorHook.h"
#include "framework/plugin/IEffectVST.h"
#include "framework/plugin/IParameter.h"
#include "framework/plugin/ParameterIds.h"
#include "link/dumps/DumpField.h"
#include "link/dumps/GlobalDump.h"
#include "link/dumps/PerformanceDump.h"
#include "link/dumps/ProgramDump.h"

#include <cmath>
#include <random>
#include <span>
#include <string>
#include <vector>

// Every table of every dump, with whether its rows are per part.
struct DumpTable
{
  std::span<const DumpField> fields;
  bool perPart;
};

inline std::vector<DumpTable> AllDumpTables()
{
  return {{ProgramDumpFields(), true},         {ProgramDumpBFields(), true},
          {PerformanceCommonFields(), false},  {PerformancePartFields(), true},
          {PerformanceVocoderFields(), false}, {PerformancePartsFields(), true},
          {GlobalDumpAFields(), false},        {GlobalDumpBFields(), false}};
}

// Calls f(index, field) for every parameter a table drives, for every part of a per-part row.
template <class F> void ForEachDrivenParameter(const DumpTable& table, F&& f)
{
  for (const DumpField& field : table.fields)
  {
    if (!FieldDomain(field).drives) continue;
    const int parts = table.perPart && !field.single ? kPartCount : 1;
    for (int part = 0; part < parts; ++part)
      f(FieldIndex(field, part), field);
  }
}

class DumpTestPlug : public IEffectVST
{
public:
  DumpTestPlug() : IEffectVST(nullptr)
  {
    InitEffectRecord();
    for (const DumpTable& table : AllDumpTables())
      ForEachDrivenParameter(table,
                             [&](int index, const DumpField& field)
                             {
                               const DumpDomain d = FieldDomain(field);
                               ParameterAt(index)->SetupContinuous("", 0, d.lo, d.hi, 1.0, "");
                             });
    // Parameters that only follow other fields.
    for (int part = 0; part < kPartCount; ++part)
    {
      for (int flag : {kEnvelope1Triggering, kEnvelope2Triggering, kEnvelope3Triggering})
        ParameterAt(flag + part)->SetupContinuous("", 0, 0, 1, 1.0, "");
      ParameterAt(kFXChorusType2 + part)->SetupContinuous("", 0, 0, 127, 1.0, "");
      ParameterAt(kFXMultiChorusType2 + part)->SetupContinuous("", 0, 0, 127, 1.0, "");
      ParameterAt(kPatchName + part)->SetType(IParameter::kTypeText);
    }
    ParameterAt(kGlobalCase22Undefined)->SetupContinuous("", 5, 0, 127, 1.0, "");
  }

  double Value(int index) const { return ParameterAt(index)->Value(); }
  void Set(int index, double value) { ParameterAt(index)->SetClamped(value); }

  // Every driven parameter of the tables to a random whole value inside its range.
  void Randomise(std::mt19937& random, std::span<const DumpTable> tables)
  {
    for (const DumpTable& table : tables)
      ForEachDrivenParameter(table,
                             [&](int index, const DumpField&)
                             {
                               const IParameter* p = ParameterAt(index);
                               Set(index,
                                   std::uniform_int_distribution<int>(int(p->Min()), int(p->Max()))(random));
                             });
  }
};

// The positions where two messages differ, for failure messages.
inline std::string ByteDifferences(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b)
{
  std::string out = a.size() == b.size()
                        ? ""
                        : "sizes " + std::to_string(a.size()) + " / " + std::to_string(b.size()) + "; ";
  for (size_t i = 0; i < std::min(a.size(), b.size()); ++i)
    if (a[i] != b[i])
      out += "[" + std::to_string(i) + "] " + std::to_string(a[i]) + " / " + std::to_string(b[i]) + "; ";
  return out;
}

// An editor that records what it is told.
class RecordingEditor : public IEditorHook
{
public:
  struct Sync
  {
    int index;
    double value;
    bool normalised;
  };
  std::vector<Sync> syncs;

  void SyncParameterToControls(int index, double value, bool normalised) override
  {
    syncs.push_back({index, value, normalised});
  }
  void CreateDrawBitmaps() override {}
  void* CreateEditorWindow(void*) override { return nullptr; }
  void DestroyEditorWindow() override {}
  void Idle() override {}
  int Width() const override { return 1500; }
  int Height() const override { return 757; }
};
