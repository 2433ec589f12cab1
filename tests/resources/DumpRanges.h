#pragma once
// The ranges the dump maps give, written by hand from the program, performance and global dump
// byte maps (never from the binding table), and the index helpers the document tests share.
#include <map>
#include <set>
#include <string>

#include "framework/plugin/ParameterIds.h"

// The range of every parameter the program, performance and global dumps carry, written from their
// byte maps: a plain byte 0..127; a byte stored with an offset runs to the end of the page of values
// the offset starts (the decode pages of incoming NRPNs), else to 127 minus the offset; a bit field
// is as wide as its bits; the special cases are those of the maps (octave range stored + 1, note
// ordering packed with fill-in, chorus types 3 and 4 in the second message, delay ratios 11 and 12
// on their own page, bank codes 5..12, device ids 0..15, breath codes 0..10, channel 16 = global).
// Section locks are switches, the bank-request selector picks one of eight program banks, the
// selected part one of eight parts, and the two names are text parameters.
struct ExpectedRange
{
  int min, max;
  const char* names;
};
inline const ExpectedRange kDumpRanges[] = {
    {0, 0, "kMultiName kPatchName "},
    {0, 1,
     "kArpConstantPitch kArpFillIn kArpKeySync kArpLatch kArpLatchMode kArpMuteStatus kArpOutputRanging "
     "kArpRealtimeTranspose kArpSwitch kConstantGate kDCOVCOMode kDrumOneShot kEnvelope1Triggering "
     "kEnvelope2Triggering kEnvelope3Triggering kFXBypass kFXChorusWheelMode kFXMultiBypass "
     "kFXMultiPanWithFX kFXMultiPassToFXAudio kFXPanWithFX kGlobalCase22Undefined kGlobalFinderDemos "
     "kGlobalKnobMode kGlobalRXCC kGlobalRXPC kGlobalTXAT kGlobalTXCC kGlobalTXPC "
     "kGlobalVelocitySensitivity kLFO1DelayFade kLFO1DelayMode kLFO1DelayTrigger kLFO1Triggering "
     "kLFO2DelayFade kLFO2DelayMode kLFO2DelayTrigger kLFO2Triggering kMultiArpSource kMultiArpSwitch "
     "kMultiLargeCase24Param3 kMultiLargeCase24Param4 kMultiLargeCase24Param5 kMultiLargeCase24Param6 "
     "kMultiPartControlChange kMultiPartEffectsUsed kMultiPartExpressionPdl kMultiPartPedalBreath "
     "kMultiPartProgramChange kMultiPartStatus kMultiPartSwitch1 kMultiPartSwitch2 kMultiPartSwitch3 "
     "kMultiVocoderSibilanceType kNoiseFM kOscMode kOscillator13FM kOscillator23FM "
     "kOscillatorsFilterBypass kPolyMode kPortamentoMode kPortamentoType kProgramPolyphony "
     "kRealtimeTransposeZone kSectionLockAmp kSectionLockArp kSectionLockEnv1 kSectionLockEnv2 "
     "kSectionLockEnv3 kSectionLockFXChorus kSectionLockFXCombFilter kSectionLockFXDelay "
     "kSectionLockFXDistortion kSectionLockFXEQ kSectionLockFXPanning kSectionLockFXReverb "
     "kSectionLockFilter kSectionLockLFO1 kSectionLockLFO2 kSectionLockMixer kSectionLockMultiOutputs "
     "kSectionLockOsc1 kSectionLockOsc2 kSectionLockOsc3 kSectionLockPitchMod kSectionLockVocoder "
     "kSectionLockVoice kUnisonMode kUnisonSwitch kVocoderSibilanceType "},
    {0, 2,
     "kArpNoteOrdering kFXChorusType2 kFXMultiChorusType2 kFXMultiPassToFXConfig kFXPassToFXConfig "
     "kFilterSlope kLFO1Range kLFO2Range "},
    {0, 3,
     "kArpGateMenu kArpSendNotesTo kArpVelocity kFXMultiPanType kFXPanType kFXPassToFXAudio kLFO1Waveform "
     "kLFO2Waveform kMultiLargeCase24Param1 kMultiPartPolyphony "},
    {0, 4,
     "kArpBank kArpQuantize kFXChorusType kFXMultiChorusType kMultiArpBank kOscillator1Octave "
     "kOscillator1Waveform kOscillator2Octave kOscillator2Waveform kOscillator3Octave kOscillator3Waveform "},
    {0, 5, "kMultiVocoderInsert "},
    {0, 6, "kArpOctaveRange "},
    {0, 7,
     "kEnvelopeTriggering kFXMultiReverbEarlyRef kFXReverbEarlyRef kFilterWidth kGlobalBreathMode "
     "kGlobalLocalControl kMultiPartBank kMultiVocoderInput kQuickTab kRequestFromBank "},
    {0, 9, "kGlideType "},
    {0, 10, "kGlobalBreathSensing "},
    {0, 11, "kFilterType "},
    {0, 12, "kFXDelayRatio kFXMultiDelayRatio "},
    {0, 13, "kMultiPartSustain "},
    {0, 15,
     "kFXMultiReverbRoom kFXReverbRoom kGlobalMidiChannel kMultiVocoderSibilanceLevel kVocoderInput "
     "kVocoderSibilanceLevel "},
    {0, 16, "kMultiPartMIDICh kMultiVocoderWidth "},
    {0, 18, "kFXMultiRoutingConfig kFXRoutingConfig "},
    {0, 22, "kGlobalMIDIClock "},
    {0, 24, "kOscillator1Semitone kOscillator2Semitone kOscillator3Semitone "},
    {0, 29, "kMultiPartOutput "},
    {0, 31, "kVocoderWidth "},
    {0, 47, "kMultiPartVeloCurve "},
    {0, 66, "kKeyboardTranspose "},
    {0, 71, "kGlobalAudioIn1Trim kGlobalAudioIn2Trim "},
    {0, 75, "kOscillator1BendRange kOscillator2BendRange kOscillator3BendRange "},
    {0, 87, "kMultiPartTranspose "},
    {0, 116, "kGlobalPedalSw3 "},
    {0, 126, "kArpGate kArpSync "},
    {0, 127,
     "kArpOutputMidiTo kArpProgram kArpSpeed kCategoryName kDrumPlayedAs kEnv1ATouchAmnt kEnv1Attack "
     "kEnv1Decay kEnv1MWheelAmnt kEnv1Release kEnv1Sustain kEnv1Velocity kEnv2Attack kEnv2Decay kEnv2Delay "
     "kEnv2Release kEnv2Sustain kEnv2Velocity kEnv2filterFreqAmnt kEnv2filterResoAmnt kEnv2noiseLevel "
     "kEnv2noiseSoften kEnv2osc1Level kEnv2osc1Pitch kEnv2osc1Soften kEnv2osc1Sync kEnv2osc1Width "
     "kEnv2osc2Level kEnv2osc2Pitch kEnv2osc2Soften kEnv2osc2Sync kEnv2osc2Width kEnv2osc3Level "
     "kEnv2osc3Pitch kEnv2osc3Soften kEnv2osc3Sync kEnv2osc3Width kEnv2ring13Level kEnv2ring23Level "
     "kEnv3Attack kEnv3Decay kEnv3Delay kEnv3Release kEnv3Sustain kEnv3Velocity kEnv3filterFreqAmnt "
     "kEnv3filterResoAmnt kEnv3noiseLevel kEnv3noiseSoften kEnv3osc1Level kEnv3osc1Pitch kEnv3osc1Soften "
     "kEnv3osc1Sync kEnv3osc1Width kEnv3osc2Level kEnv3osc2Pitch kEnv3osc2Soften kEnv3osc2Sync "
     "kEnv3osc2Width kEnv3osc3Level kEnv3osc3Pitch kEnv3osc3Soften kEnv3osc3Sync kEnv3osc3Width "
     "kEnv3ring13Level kEnv3ring23Level kEnvelope1ADRepeat kEnvelope1KeyLevel kEnvelope1KeyTracking "
     "kEnvelope1SustainRate kEnvelope1SustainTime kEnvelope1TrackingLevel kEnvelope2ADRepeat "
     "kEnvelope2DelaySync kEnvelope2KeyLevel kEnvelope2KeyTracking kEnvelope2SustainRate "
     "kEnvelope2SustainTime kEnvelope2TrackingLevel kEnvelope3ADRepeat kEnvelope3DelaySync "
     "kEnvelope3KeyLevel kEnvelope3KeyTracking kEnvelope3SustainRate kEnvelope3SustainTime "
     "kEnvelope3TrackingLevel kFXCMorph kFXChorusDelay kFXChorusFeedback kFXChorusInertia kFXChorusLFOWave "
     "kFXChorusMWheel kFXChorusModDepth kFXChorusSend kFXChorusSpeed1 kFXChorusSpeed2 kFXChorusStereoWidth "
     "kFXChorusSync kFXCombFilterBoost kFXCombFilterBoostWH kFXCombFilterDepth kFXCombFilterFreqWH "
     "kFXCombFilterFrequency kFXCombFilterSpeed kFXCombFilterSpread kFXCombFilterSync kFXDelayFeedback "
     "kFXDelayHFDamp kFXDelayMWheel kFXDelaySend kFXDelayStereoWidth kFXDelaySync kFXDelayTime "
     "kFXDistortionCurve kFXDistortionGainComp kFXDistortionOPLevel kFXDistortionOverdrive "
     "kFXDistortionOverdriveMW kFXEQBass kFXEQTreble kFXMultiCMorph kFXMultiChorusDelay "
     "kFXMultiChorusFeedback kFXMultiChorusInertia kFXMultiChorusLFOWave kFXMultiChorusMWheel "
     "kFXMultiChorusModDepth kFXMultiChorusSend kFXMultiChorusSpeed1 kFXMultiChorusSpeed2 "
     "kFXMultiChorusStereoWidth kFXMultiChorusSync kFXMultiCombFilterBoost kFXMultiCombFilterBoostWH "
     "kFXMultiCombFilterDepth kFXMultiCombFilterFreqWH kFXMultiCombFilterFrequency kFXMultiCombFilterSpeed "
     "kFXMultiCombFilterSpread kFXMultiCombFilterSync kFXMultiDelayFeedback kFXMultiDelayHFDamp "
     "kFXMultiDelayMWheel kFXMultiDelaySend kFXMultiDelayStereoWidth kFXMultiDelaySync kFXMultiDelayTime "
     "kFXMultiDistortionCurve kFXMultiDistortionGainComp kFXMultiDistortionOPLevel "
     "kFXMultiDistortionOverdrive kFXMultiDistortionOverdriveMW kFXMultiEQBass kFXMultiEQTreble "
     "kFXMultiPanDepth kFXMultiPanDryLevel kFXMultiPanPosition kFXMultiPanSpeed kFXMultiPanSync "
     "kFXMultiReverbDecay kFXMultiReverbHFDamp kFXMultiReverbMWheel kFXMultiReverbSend kFXPanDepth "
     "kFXPanDryLevel kFXPanSpeed kFXPanSync kFXReverbDecay kFXReverbHFDamp kFXReverbMWheel kFXReverbSend "
     "kFilterCutoff kFilterFreqATLFO2amnt kFilterFreqATamnt kFilterFreqMWLFO2amnt kFilterKeytrack "
     "kFilterOverdrive kFilterOverdriveCurve kFilterQNormAmount kFilterResoATLFO2amnt kFilterResoATamnt "
     "kFilterResoMWLFO2amnt kFilterResonance kFilterWidthSpecial kGlobalInputSw1 kGlobalInputSw2 "
     "kGlobalMasterTune kGlobalMasterVolume kGlobalPedalSensitivity kGlobalTempo kLFO1ATspeedMod "
     "kLFO1Delay kLFO1DelaySync kLFO1Env3SpeedMod kLFO1MWhSpeedMod kLFO1OffsetAmount kLFO1Slew kLFO1Speed "
     "kLFO1Sync kLFO1filterFreqAmnt kLFO1filterResoAmnt kLFO1noiseLevel kLFO1noiseSoften kLFO1osc1Level "
     "kLFO1osc1Pitch kLFO1osc1Soften kLFO1osc1Sync kLFO1osc1Width kLFO1osc2Level kLFO1osc2Pitch "
     "kLFO1osc2Soften kLFO1osc2Sync kLFO1osc2Width kLFO1osc3Level kLFO1osc3Pitch kLFO1osc3Soften "
     "kLFO1osc3Sync kLFO1osc3Width kLFO1ring13Level kLFO1ring23Level kLFO2ATspeedMod kLFO2Delay "
     "kLFO2DelaySync kLFO2Env3SpeedMod kLFO2MWhSpeedMod kLFO2OffsetAmount kLFO2Slew kLFO2Speed kLFO2Sync "
     "kLFO2filterFreqAmnt kLFO2filterResoAmnt kLFO2noiseLevel kLFO2noiseSoften kLFO2osc1Level "
     "kLFO2osc1Pitch kLFO2osc1Soften kLFO2osc1Sync kLFO2osc1Width kLFO2osc2Level kLFO2osc2Pitch "
     "kLFO2osc2Soften kLFO2osc2Sync kLFO2osc2Width kLFO2osc3Level kLFO2osc3Pitch kLFO2osc3Soften "
     "kLFO2osc3Sync kLFO2osc3Width kLFO2ring13Level kLFO2ring23Level kMultiArpProgram kMultiPartDetune "
     "kMultiPartKeyHigh kMultiPartKeyLow kMultiPartLevel kMultiPartPanning kMultiPartPatch "
     "kMultiPartSwitch1Mode kMultiPartSwitch3Mode kMultiSmallCase08 kMultiSmallCase13 kMultiVocoderBalance "
     "kNoiseLevel kNoiseSoftenLevel kOscillator1ATLFO1amnt kOscillator1Detune kOscillator1FormantWidth "
     "kOscillator1Keyfollow kOscillator1Level kOscillator1MWLFO1amnt kOscillator1Pulsewidth "
     "kOscillator1SoftenLevel kOscillator1SyncKeyfollow kOscillator1SyncLevel kOscillator1SyncSkew "
     "kOscillator2ATLFO1amnt kOscillator2Detune kOscillator2FormantWidth kOscillator2Keyfollow "
     "kOscillator2Level kOscillator2MWLFO1amnt kOscillator2Pulsewidth kOscillator2SyncKeyfollow "
     "kOscillator2SyncLevel kOscillator2SyncSkew kOscillator3ATLFO1amnt kOscillator3Detune "
     "kOscillator3FormantWidth kOscillator3Keyfollow kOscillator3Level kOscillator3MWLFO1amnt "
     "kOscillator3Pulsewidth kOscillator3SyncKeyfollow kOscillator3SyncLevel kOscillator3SyncSkew "
     "kOscillatorStartPhase kPortamento kProgramLevel kRealtimeTransposeZoneDetune "
     "kRealtimeTransposeZoneHigh kRealtimeTransposeZoneLow kRing13Level kRing23Level kUnisonDetune "
     "kUnusedParam01 kUnusedParam02 kUnusedParam03 kVCODrift kVocoderBalance kWheelfilterFreqAmnt "
     "kWheelfilterResoAmnt kWheelnoiseLevel kWheelnoiseSoften kWheelosc1Level kWheelosc1Pitch "
     "kWheelosc1Soften kWheelosc1Sync kWheelosc1Width kWheelosc2Level kWheelosc2Pitch kWheelosc2Soften "
     "kWheelosc2Sync kWheelosc2Width kWheelosc3Level kWheelosc3Pitch kWheelosc3Soften kWheelosc3Sync "
     "kWheelosc3Width kWheelring13Level kWheelring23Level "},
};

// Held once at their base index whatever the part (the program dump marks them single).
inline const std::set<std::string> kSingleVoiced = {
    "kVocoderBalance", "kVocoderSibilanceType", "kVocoderInput", "kVocoderWidth", "kVocoderSibilanceLevel"};

inline std::map<std::string, int> RegisteredIndices()
{
  return {
#define VELK_PARAM(name, index) {#name, index},
#include "framework/plugin/ParameterNames.def"
#undef VELK_PARAM
  };
}

// A name is per part when the next registered name lies eight or more indices above it.
inline bool PerPart(const std::map<std::string, int>& names, const std::string& name)
{
  int index = names.at(name), next = 1 << 30;
  for (const auto& [n, i] : names)
    if (i > index && i < next) next = i;
  return next - index >= 8 && index < kDebugParts;
}
