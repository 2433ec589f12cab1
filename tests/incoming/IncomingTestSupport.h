#pragma once

// The incoming side against a real configuration: a small user-interface document read by the
// real reader and factories (eight parts of controller and NRPN controls, one global switch),
// and a link host whose bound parameters are the reader's plug-in parameters, so that a control
// moved by a received message is seen as its parameter's value.

#include "framework/plugin/IParameter.h"
#include "framework/plugin/ParameterIds.h"
#include "link/IncomingMessages.h"
#include "link/ParameterOutput.h"
#include "tests/config/ConfigTestSupport.h"
#include "tests/link/LinkHostDouble.h"

#include <string>
#include <vector>

inline std::string IncomingTestDocument()
{
  auto knob = [](const char* type, const char* param, const char* bounds, const std::string& midi)
  {
    return std::string("<knobcontrol type=\"") + type + "\" name=\"K\" paramId=\"" + param +
           "\" position=\"10,10,0\" imageId=\"IKNOBROTATERCONTROL_ID2\" valueBounds=\"" + bounds + "\" " +
           midi + "/>";
  };
  auto nrpn = [](int msb, int lsb, int lsbControl)
  {
    return "ccNumber=\"6\" msbValue=\"" + std::to_string(msb) + "\" lsbValue=\"" + std::to_string(lsb) +
           "\" lsbControl=\"" + std::to_string(lsbControl) + "\"";
  };
  std::string parts = R"(<multilayer create="8" name="incomingPanel">)";
  parts += knob("ccKnob", "kFilterCutoff", "0,0,127,1", R"(ccNumber="74")");
  parts += knob("ccKnob", "kFXReverbEarlyRef", "0,0,7,1", R"(ccNumber="91")");
  parts += knob("ccKnob", "kFXReverbRoom", "0,0,15,1", R"(ccNumber="91")");
  parts += "<buttoncontrol type=\"ccButton\" name=\"L\" paramId=\"kArpLatch\" position=\"1,1,0\" "
           "imageId=\"IKNOBROTATERCONTROL_ID2\" valueBounds=\"0,0,1\" ccNumber=\"65\"/>";
  parts += knob("msbLsbKnob", "kFilterResonance", "0,0,127,1", nrpn(0, 0, 40));
  parts += knob("msbLsbKnob", "kLFO1Speed", "0,0,24,1", nrpn(0, 45, 0));
  parts += knob("msbLsbKnob", "kMultiPartSustain", "0,0,13,1", nrpn(0, 77, 84));
  parts += knob("msbLsbKnob", "kFXDelayRatio", "0,0,12,1", nrpn(0, 96, 100));
  parts += knob("msbLsbKnob", "kArpBank", "0,0,7,1", nrpn(0, 76, 1));
  parts += knob("msbLsbKnob", "kFXChorusType", "0,0,4,1", nrpn(0, 52, 1));
  // The multi-mode twin of the chorus type: the same NRPN, registered for a part without effects.
  parts += knob("msbLsbKnob", "kFXMultiChorusType", "0,0,2,1", nrpn(0, 52, 1));
  parts += knob("msbLsbKnob", "kEnvelopeTriggering", "0,0,7,1", nrpn(0, 3, 1));
  parts += knob("msbLsbKnob", "kArpNoteOrdering", "0,0,2,1", nrpn(0, 122, 1));
  parts += knob("msbLsbKnob", "kMultiPartPolyphony", "1,1,8,1", nrpn(0, 0, 50));
  parts += "<buttoncontrol type=\"msbLsbButton\" name=\"F\" paramId=\"kOscillator13FM\" position=\"1,1,0\" "
           "imageId=\"IKNOBROTATERCONTROL_ID2\" valueBounds=\"0,0,1\" " +
           nrpn(34, 0, 122) + "/>";
  parts += "</multilayer>";
  const std::string global =
      R"(<layer name="miniMixer" id="20"><buttoncontrol type="ccButton" name="Local" )"
      R"(paramId="kGlobalLocalControl" position="1,1,0" imageId="IKNOBROTATERCONTROL_ID2" )"
      R"(valueBounds="0,0,127" ccNumber="122" channel="16"/></layer>)";
  return "<?xml version=\"1.0\"?><uiconfig>" + parts + global + "</uiconfig>";
}

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
  IncomingFixture() : document(ConfigReader::kUiDocumentId, IncomingTestDocument()), host(f.plug, *f.graphics)
  {
    f.reader->Read(f.graphics.get(), &f.plug, nullptr, 0, 1.0);
    // Every control holds its parameter's value, as after the editor was built.
    for (int i = 0; i < IEffectBase::kNumParameters; ++i)
      if (IParameter* p = f.plug.ParameterAt(i)) f.graphics->SyncParameterToControls(i, p->Value(), false);
    host.config = f.reader.get();
    for (int part = 0; part < kPartCount; ++part)
    {
      host.Set(kMultiPartMIDICh + part, part);
      host.Set(kMultiPartEffectsUsed + part, 1);
    }
    host.Set(kGlobalMidiChannel, 15);
    for (auto& s : host.passThrough)
      s = 1;
    host.ClearSent();
  }

  double Value(int index) { return host.ParamValue(index); }
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

  ScopedDocument document;
  ReaderFixture f;
  PlugLinkHost host;
  IncomingMessages incoming{host};
};
