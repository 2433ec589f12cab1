#pragma once

// A small user-interface document for the incoming side: eight parts of controller and NRPN
// controls (among them the special cases of the resolver and a multi-mode effect twin) and the
// global local-control switch on channel 16.

#include <string>

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
