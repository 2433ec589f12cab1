#pragma once

// The incoming side against a real configuration: a user-interface document read by the real
// reader and factories (by default a small one of eight parts of controller and NRPN controls and
// one global switch; or the embedded documents), and a link host whose bound parameters are the
// reader's plug-in parameters, so that a control moved by a received message is seen as its
// parameter's value.

#include "IncomingTestDocument.h"
#include "framework/plugin/IParameter.h"
#include "framework/plugin/ParameterIds.h"
#include "link/incoming/IncomingMessages.h"
#include "link/output/ParameterOutput.h"
#include "tests/config/ConfigTestSupport.h"
#include "tests/link/LinkHostDouble.h"

#include <optional>
#include <string>
#include <vector>

// Bound parameters live in the reader's plug-in (their controls push there); all others in the
// double's table.
class PlugLinkHost : public LinkHostDouble
{
public:
  explicit PlugLinkHost(IEffectBase& plug, IGraphics& graphics) : mPlug(plug), mGraphics(graphics) {}

  IParameter* Bound(int index)
  {
    IParameter* p = mPlug.ParameterAt(index);
    return p && p->MidiMap() ? p : nullptr;
  }
  double ParamValue(int index) override
  {
    IParameter* p = Bound(index);
    return p ? p->Value() : LinkHostDouble::ParamValue(index);
  }
  double ParamNormalised(int index) override
  {
    IParameter* p = Bound(index);
    return p ? p->NormalisedValue() : LinkHostDouble::ParamNormalised(index);
  }
  double ParamMinimum(int index) override
  {
    IParameter* p = Bound(index);
    return p ? p->Min() : LinkHostDouble::ParamMinimum(index);
  }
  void SetParamInEditor(int index, double value) override
  {
    if (IParameter* p = Bound(index))
    {
      p->SetClamped(value);
      mGraphics.SyncParameterToControls(index, p->Value(), false);
    }
    LinkHostDouble::SetParamInEditor(index, value);
  }

private:
  IEffectBase& mPlug;
  IGraphics& mGraphics;
};

struct IncomingFixture
{
  enum Document
  {
    kTestDocument,
    kEmbeddedDocuments
  };

  explicit IncomingFixture(Document which = kTestDocument) : host(f.plug, *f.graphics)
  {
    if (which == kTestDocument) document.emplace(ConfigReader::kUiDocumentId, IncomingTestDocument());
    read = f.reader->Read(f.graphics.get(), &f.plug, nullptr, 0, 1.0);
    // Every control holds its parameter's value, as after the editor was built.
    for (int i = 0; i < IEffectBase::kNumParameters; ++i)
      if (IParameter* p = f.plug.ParameterAt(i)) f.graphics->SyncParameterToControls(i, p->Value(), false);
    host.config = f.reader.get();
    for (int part = 0; part < kPartCount; ++part)
    {
      Set(kMultiPartMIDICh + part, part);
      Set(kMultiPartEffectsUsed + part, 1);
    }
    Set(kGlobalMidiChannel, 15);
    for (auto& s : host.passThrough)
      s = 1;
    host.ClearSent();
  }

  double Value(int index) { return host.ParamValue(index); }
  // A value where the link reads it: the reader's plug-in for a bound parameter, else the double.
  void Set(int index, double value)
  {
    if (IParameter* p = host.Bound(index))
      p->SetClamped(value);
    else
      host.Set(index, value);
  }
  MidiMapRecord* Record(int index) { return f.plug.ParameterAt(index)->MidiMap(); }
  void FromDevice(const Bytes& bytes)
  {
    IMidiMessage m;
    m.status = bytes[0];
    m.data1 = bytes.size() > 1 ? bytes[1] : 0;
    m.data2 = bytes.size() > 2 ? bytes[2] : 0;
    incoming.HandleMidiMessage(m, true);
  }
  void FromHost(const Bytes& bytes, int offset = 0)
  {
    IMidiMessage m;
    m.offset = offset;
    m.status = bytes[0];
    m.data1 = bytes.size() > 1 ? bytes[1] : 0;
    m.data2 = bytes.size() > 2 ? bytes[2] : 0;
    incoming.HandleMidiMessage(m, false);
  }

  std::optional<ScopedDocument> document;
  ReaderFixture f;
  bool read = false;
  PlugLinkHost host;
  IncomingMessages incoming{host};
};
