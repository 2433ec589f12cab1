#include "link/dumps/ProgramDump.h"

#include "framework/plugin/IEffectBase.h"
#include "framework/plugin/ParameterIds.h"
#include "link/dumps/DumpForms.h"
#include "link/dumps/DumpParameters.h"
#include "link/dumps/SysExCodec.h"

#include <algorithm>

namespace
{
using enum DumpLock;

constexpr DumpField kMainFields[] = {
    Single(DumpByte(25, kVocoderBalance, Vocoder)),
    DumpByte(26, kCategoryName, None),
    DumpByte(27, kUnusedParam01, None),
    DumpByte(28, kUnusedParam02, None),
    DumpFixed(29, 0x30),
    DumpByte(30, kUnusedParam03, None),
    DumpByte(31, kOscillator1Waveform, Osc1),
    DumpByte(32, kOscillator1Octave, Osc1, 30),
    DumpByte(33, kOscillator1Semitone, Osc1, 45),
    DumpByte(34, kOscillator1Detune, Osc1),
    DumpByte(35, kOscillator1BendRange, Osc1, 52),
    DumpByte(36, kOscillator1Keyfollow, Osc1),
    DumpByte(37, kWheelosc1Pitch, Osc1),
    DumpByte(38, kEnv2osc1Pitch, Env2),
    DumpByte(39, kEnv3osc1Pitch, Env3),
    DumpByte(40, kLFO1osc1Pitch, LFO1),
    DumpByte(41, kLFO2osc1Pitch, LFO2),
    DumpByte(42, kOscillator1MWLFO1amnt, Osc1),
    DumpByte(43, kOscillator1ATLFO1amnt, Osc1),
    DumpByte(44, kOscillator1SoftenLevel, Osc1),
    DumpByte(45, kWheelosc1Soften, Osc1),
    DumpByte(46, kEnv2osc1Soften, Env2),
    DumpByte(47, kEnv3osc1Soften, Env3),
    DumpByte(48, kLFO1osc1Soften, LFO1),
    DumpByte(49, kLFO2osc1Soften, LFO2),
    DumpByte(50, kOscillator1Pulsewidth, Osc1),
    DumpByte(51, kWheelosc1Width, Osc1),
    DumpByte(52, kEnv2osc1Width, Env2),
    DumpByte(53, kEnv3osc1Width, Env3),
    DumpByte(54, kLFO1osc1Width, LFO1),
    DumpByte(55, kLFO2osc1Width, LFO2),
    DumpByte(56, kOscillator1SyncLevel, Osc1),
    DumpByte(57, kWheelosc1Sync, Osc1),
    DumpByte(58, kEnv2osc1Sync, Env2),
    DumpByte(59, kEnv3osc1Sync, Env3),
    DumpByte(60, kLFO1osc1Sync, LFO1),
    DumpByte(61, kLFO2osc1Sync, LFO2),
    DumpByte(62, kOscillator1SyncKeyfollow, Osc1),
    DumpByte(63, kOscillator1SyncSkew, Osc1),
    DumpByte(64, kOscillator1FormantWidth, Osc1),
    DumpByte(65, kOscillator2Waveform, Osc2, 10),
    DumpByte(66, kOscillator2Octave, Osc2, 35),
    DumpByte(67, kOscillator2Semitone, Osc2, 70),
    DumpByte(68, kOscillator2Detune, Osc2),
    DumpByte(69, kOscillator2BendRange, Osc2, 52),
    DumpByte(70, kOscillator2Keyfollow, Osc2),
    DumpByte(71, kWheelosc2Pitch, Osc2),
    DumpByte(72, kEnv2osc2Pitch, Env2),
    DumpByte(73, kEnv3osc2Pitch, Env3),
    DumpByte(74, kLFO1osc2Pitch, LFO1),
    DumpByte(75, kLFO2osc2Pitch, LFO2),
    DumpByte(76, kOscillator2MWLFO1amnt, Osc2),
    DumpByte(77, kOscillator2ATLFO1amnt, Osc2),
    DumpFixed(78, 0x7F),
    DumpByte(79, kWheelosc2Soften, Osc2),
    DumpByte(80, kEnv2osc2Soften, Env2),
    DumpByte(81, kEnv3osc2Soften, Env3),
    DumpByte(82, kLFO1osc2Soften, LFO1),
    DumpByte(83, kLFO2osc2Soften, LFO2),
    DumpByte(84, kOscillator2Pulsewidth, Osc2),
    DumpByte(85, kWheelosc2Width, Osc2),
    DumpByte(86, kEnv2osc2Width, Env2),
    DumpByte(87, kEnv3osc2Width, Env3),
    DumpByte(88, kLFO1osc2Width, LFO1),
    DumpByte(89, kLFO2osc2Width, LFO2),
    DumpByte(90, kOscillator2SyncLevel, Osc2),
    DumpByte(91, kWheelosc2Sync, Osc2),
    DumpByte(92, kEnv2osc2Sync, Env2),
    DumpByte(93, kEnv3osc2Sync, Env3),
    DumpByte(94, kLFO1osc2Sync, LFO1),
    DumpByte(95, kLFO2osc2Sync, LFO2),
    DumpByte(96, kOscillator2SyncKeyfollow, Osc2),
    DumpByte(97, kOscillator2SyncSkew, Osc2),
    DumpByte(98, kOscillator2FormantWidth, Osc2),
    DumpByte(99, kOscillator3Waveform, Osc3, 20),
    DumpByte(100, kOscillator3Octave, Osc3, 40),
    DumpByte(101, kOscillator3Semitone, Osc3, 95),
    DumpByte(102, kOscillator3Detune, Osc3),
    DumpByte(103, kOscillator3BendRange, Osc3, 52),
    DumpByte(104, kOscillator3Keyfollow, Osc3),
    DumpByte(105, kWheelosc3Pitch, Osc3),
    DumpByte(106, kEnv2osc3Pitch, Env2),
    DumpByte(107, kEnv3osc3Pitch, Env3),
    DumpByte(108, kLFO1osc3Pitch, LFO1),
    DumpByte(109, kLFO2osc3Pitch, LFO2),
    DumpByte(110, kOscillator3MWLFO1amnt, Osc3),
    DumpByte(111, kOscillator3ATLFO1amnt, Osc3),
    DumpFixed(112, 0x7F),
    DumpByte(113, kWheelosc3Soften, Osc3),
    DumpByte(114, kEnv2osc3Soften, Env2),
    DumpByte(115, kEnv3osc3Soften, Env3),
    DumpByte(116, kLFO1osc3Soften, LFO1),
    DumpByte(117, kLFO2osc3Soften, LFO2),
    DumpByte(118, kOscillator3Pulsewidth, Osc3),
    DumpByte(119, kWheelosc3Width, Osc3),
    DumpByte(120, kEnv2osc3Width, Env2),
    DumpByte(121, kEnv3osc3Width, Env3),
    DumpByte(122, kLFO1osc3Width, LFO1),
    DumpByte(123, kLFO2osc3Width, LFO2),
    DumpByte(124, kOscillator3SyncLevel, Osc3),
    DumpByte(125, kWheelosc3Sync, Osc3),
    DumpByte(126, kEnv2osc3Sync, Env2),
    DumpByte(127, kEnv3osc3Sync, Env3),
    DumpByte(128, kLFO1osc3Sync, LFO1),
    DumpByte(129, kLFO2osc3Sync, LFO2),
    DumpByte(130, kOscillator3SyncKeyfollow, Osc3),
    DumpByte(131, kOscillator3SyncSkew, Osc3),
    DumpByte(132, kOscillator3FormantWidth, Osc3),
    DumpByte(133, kOscillator1Level, Mixer),
    DumpByte(134, kWheelosc1Level, Mixer),
    DumpByte(135, kEnv2osc1Level, Env2),
    DumpByte(136, kEnv3osc1Level, Env3),
    DumpByte(137, kLFO1osc1Level, LFO1),
    DumpByte(138, kLFO2osc1Level, LFO2),
    DumpByte(139, kOscillator2Level, Mixer),
    DumpByte(140, kWheelosc2Level, Mixer),
    DumpByte(141, kEnv2osc2Level, Env2),
    DumpByte(142, kEnv3osc2Level, Env3),
    DumpByte(143, kLFO1osc2Level, LFO1),
    DumpByte(144, kLFO2osc2Level, LFO2),
    DumpByte(145, kOscillator3Level, Mixer),
    DumpByte(146, kWheelosc3Level, Mixer),
    DumpByte(147, kEnv2osc3Level, Env2),
    DumpByte(148, kEnv3osc3Level, Env3),
    DumpByte(149, kLFO1osc3Level, LFO1),
    DumpByte(150, kLFO2osc3Level, LFO2),
    DumpByte(151, kRing13Level, Mixer),
    DumpByte(152, kWheelring13Level, Mixer),
    DumpByte(153, kEnv2ring13Level, Env2),
    DumpByte(154, kEnv3ring13Level, Env3),
    DumpByte(155, kLFO1ring13Level, LFO1),
    DumpByte(156, kLFO2ring13Level, LFO2),
    DumpByte(157, kRing23Level, Mixer),
    DumpByte(158, kWheelring23Level, Mixer),
    DumpByte(159, kEnv2ring23Level, Env2),
    DumpByte(160, kEnv3ring23Level, Env3),
    DumpByte(161, kLFO1ring23Level, LFO1),
    DumpByte(162, kLFO2ring23Level, LFO2),
    DumpByte(163, kNoiseLevel, Mixer),
    DumpByte(164, kWheelnoiseLevel, Mixer),
    DumpByte(165, kEnv2noiseLevel, Env2),
    DumpByte(166, kEnv3noiseLevel, Env3),
    DumpByte(167, kLFO1noiseLevel, LFO1),
    DumpByte(168, kLFO2noiseLevel, LFO2),
    DumpByte(169, kLFO1Delay, LFO1),
    DumpByte(170, kLFO1Waveform, LFO1, 16),
    DumpByte(171, kLFO1OffsetAmount, LFO1),
    DumpByte(172, kLFO1Speed, LFO1),
    DumpByte(173, kLFO1Env3SpeedMod, LFO1),
    DumpByte(174, kLFO1MWhSpeedMod, LFO1),
    DumpByte(175, kLFO1ATspeedMod, LFO1),
    DumpByte(176, kLFO1Sync, LFO1),
    DumpByte(177, kLFO1Triggering, LFO1, 24),
    DumpByte(178, kLFO1DelayTrigger, LFO1, 124),
    DumpByte(179, kLFO2Delay, LFO2),
    DumpByte(180, kLFO2Waveform, LFO2, 20),
    DumpByte(181, kLFO2OffsetAmount, LFO2),
    DumpByte(182, kLFO2Speed, LFO2),
    DumpByte(183, kLFO2Env3SpeedMod, LFO2),
    DumpByte(184, kLFO2MWhSpeedMod, LFO2),
    DumpByte(185, kLFO2ATspeedMod, LFO2),
    DumpByte(186, kLFO2Sync, LFO2),
    DumpByte(187, kLFO2Triggering, LFO2, 26),
    DumpByte(188, kLFO2DelayTrigger, LFO2, 126),
    DumpByte(189, kLFO1Range, LFO1, 28),
    DumpByte(190, kLFO2Range, LFO2, 31),
    DumpByte(191, kEnv3Attack, Env3),
    DumpByte(192, kEnv3Decay, Env3),
    DumpByte(193, kEnv3Sustain, Env3),
    DumpByte(194, kEnv3Release, Env3),
    DumpByte(195, kEnv3Velocity, Env3),
    DumpByte(196, kEnv3Delay, Env3),
    DumpByte(197, kEnv2Attack, Env2),
    DumpByte(198, kEnv2Decay, Env2),
    DumpByte(199, kEnv2Sustain, Env2),
    DumpByte(200, kEnv2Release, Env2),
    DumpByte(201, kEnv2Velocity, Env2),
    DumpByte(202, kEnv2Delay, Env2),
    DumpByte(203, kEnv1Attack, Env1),
    DumpByte(204, kEnv1Decay, Env1),
    DumpByte(205, kEnv1Sustain, Env1),
    DumpByte(206, kEnv1Release, Env1),
    DumpByte(207, kEnv1Velocity, Env1),
    DumpByte(208, kEnv1MWheelAmnt, Env1),
    DumpByte(209, kEnv1ATouchAmnt, Env1),
    DumpByte(210, kNoiseSoftenLevel, Mixer),
    DumpByte(211, kWheelnoiseSoften, Mixer),
    DumpByte(212, kEnv2noiseSoften, Env2),
    DumpByte(213, kEnv3noiseSoften, Env3),
    DumpByte(214, kLFO1noiseSoften, LFO1),
    DumpByte(215, kLFO2noiseSoften, LFO2),
    DumpByte(216, kFilterType, Filter, 3),
    DumpByte(217, kFilterSlope, Filter),
    DumpBits(218, kArpOutputRanging, 6, 1, Arp),
    DumpBits(218, kArpConstantPitch, 5, 1, Arp),
    Single(DumpBits(218, kVocoderSibilanceType, 4, 1, Vocoder)),
    DumpBits(218, kDCOVCOMode, 3, 1, Voice),
    DumpBits(218, kFilterWidth, 0, 3, Filter),
    DumpByte(219, kFilterOverdrive, Filter),
    DumpByte(220, kFilterCutoff, Filter),
    DumpByte(221, kWheelfilterFreqAmnt, Filter),
    DumpByte(222, kFilterFreqATamnt, Filter),
    DumpByte(223, kEnv2filterFreqAmnt, Env2),
    DumpByte(224, kEnv3filterFreqAmnt, Env3),
    DumpByte(225, kLFO1filterFreqAmnt, LFO1),
    DumpByte(226, kLFO2filterFreqAmnt, LFO2),
    DumpByte(227, kFilterFreqMWLFO2amnt, Filter),
    DumpByte(228, kFilterFreqATLFO2amnt, Filter),
    DumpByte(229, kFilterKeytrack, Filter),
    DumpByte(230, kFilterResonance, Filter),
    DumpByte(231, kWheelfilterResoAmnt, Filter),
    DumpByte(232, kFilterResoATamnt, Filter),
    DumpByte(233, kEnv2filterResoAmnt, Env2),
    DumpByte(234, kEnv3filterResoAmnt, Env3),
    DumpByte(235, kLFO1filterResoAmnt, LFO1),
    DumpByte(236, kLFO2filterResoAmnt, LFO2),
    DumpByte(237, kFilterResoMWLFO2amnt, Filter),
    DumpByte(238, kFilterResoATLFO2amnt, Filter),
    DumpByte(239, kFilterQNormAmount, Filter),
    DumpByte(240, kPortamento, Voice),
    DumpByte(241, kGlideType, Voice, 42),
    DumpByte(242, kPortamentoType, Voice, 120),
    DumpByte(243, kPortamentoMode, Voice, 122),
    Special(DumpByte(244, kEnvelopeTriggering, None, 34), DumpSpecial::EnvTriggering),
    DumpByte(245, kProgramLevel, Mixer),
    DumpBits(246, kConstantGate, 3, 1, Env1),
    DumpBits(246, kDrumOneShot, 2, 1, Voice),
    DumpBits(246, kPolyMode, 1, 1, Voice),
    DumpBits(246, kOscMode, 0, 1, Voice),
    DumpBits(247, kUnisonSwitch, 5, 1, Voice, 0, 0x40),
    DumpBits(247, kUnisonMode, 2, 1, Voice, 0, 0x40),
    Special(DumpBits(247, kProgramPolyphony, 0, 2, Voice, 1, 0x40), DumpSpecial::Polyphony),
    Special(DumpBits(248, kArpSpeed, 0, 7, Arp, 0, 0x38), DumpSpecial::ConstantOnWrite),
    DumpByte(249, kArpBank, Arp, 76),
    DumpByte(250, kArpProgram, Arp),
    DumpByte(251, kArpVelocity, Arp, 86),
    DumpByte(252, kArpKeySync, Arp, 74),
    Special(DumpBits(253, kArpNoteOrdering, 1, 2, Arp, 0, 122), DumpSpecial::ArpOrdering),
    Special(DumpBits(253, kArpFillIn, 0, 1, Arp, 0, 122), DumpSpecial::ArpFillIn),
    DumpByte(254, kArpQuantize, Arp, 81),
    Single(DumpBits(255, kVocoderSibilanceLevel, 3, 4, Vocoder)),
    DumpBits(255, kArpOctaveRange, 0, 3, Arp, 1),
    DumpByte(256, kArpLatch, Arp),
    DumpByte(257, kArpLatchMode, Arp, 79),
    DumpBits(258, kArpSendNotesTo, 5, 2, Arp),
    Single(DumpBits(258, kVocoderInput, 1, 4, Vocoder)),
    Special(DumpBits(258, kArpMuteStatus, 0, 1, Arp), DumpSpecial::NonZero),
    DumpByte(259, kArpSwitch, Arp, 72),
    DumpByte(260, kArpRealtimeTranspose, Arp, 92),
    DumpByte(261, kArpSync, Arp, 1),
    Single(DumpBits(262, kVocoderWidth, 2, 5, Vocoder)),
    DumpBits(262, kArpGateMenu, 0, 2, Arp),
    DumpByte(263, kFXDistortionOverdrive, FXDistortion),
    DumpByte(264, kFXDistortionOverdriveMW, FXDistortion),
    DumpByte(265, kFXEQBass, FXEQ),
    DumpByte(266, kFXEQTreble, FXEQ),
    DumpByte(267, kFXCombFilterFrequency, FXCombFilter),
    DumpByte(268, kFXCombFilterBoost, FXCombFilter),
    DumpByte(269, kFXPanDryLevel, FXPanning),
    DumpByte(270, kMultiPartPanning, FXPanning),
    DumpByte(271, kFXPanSpeed, FXPanning),
    DumpByte(272, kFXPanDepth, FXPanning),
    DumpByte(273, kFXPanType, FXPanning, 55),
    DumpByte(274, kFXReverbSend, FXReverb),
    DumpByte(275, kFXReverbMWheel, FXReverb),
    DumpByte(276, kFXReverbDecay, FXReverb),
    DumpByte(277, kFXReverbHFDamp, FXReverb),
    DumpBits(278, kFXReverbRoom, 3, 4, FXReverb),
    DumpBits(278, kFXReverbEarlyRef, 0, 3, FXReverb),
    DumpByte(279, kFXChorusSend, FXChorus),
    DumpByte(280, kFXChorusMWheel, FXChorus),
    DumpByte(281, kFXChorusSpeed1, FXChorus),
    DumpByte(282, kFXChorusModDepth, FXChorus),
    DumpByte(283, kFXChorusFeedback, FXChorus),
    DumpBits(284, kFXPassToFXConfig, 5, 2, None, 0, 32),
    DumpBits(284, kFXPanWithFX, 4, 1, FXPanning, 0, 32),
    DumpBits(284, kFXPassToFXAudio, 2, 2, None, 0, 32),
    Special(DumpBits(284, kFXChorusType, 0, 2, FXChorus, 0, 32), DumpSpecial::ChorusTypeBits),
    DumpByte(285, kFXDelaySend, FXDelay),
    DumpByte(286, kFXDelayMWheel, FXDelay),
    DumpByte(287, kFXDelayTime, FXDelay),
    DumpByte(288, kFXDelayFeedback, FXDelay),
    DumpByte(289, kFXDelayHFDamp, FXDelay),
    DumpByte(290, kFXDelayRatio, FXDelay, 96),
    DumpByte(291, kFXDelayStereoWidth, FXDelay),
    DumpByte(292, kFXDelaySync, FXDelay),
    DumpByte(293, kFXRoutingConfig, None),
    DumpByte(294, kFXCMorph, None),
};

constexpr DumpField kSecondFields[] = {
    DumpByte(9, kLFO1Slew, LFO1),
    DumpByte(10, kLFO2Slew, LFO2),
    DumpByte(11, kUnisonDetune, Voice),
    DumpBits(12, kRealtimeTransposeZone, 6, 1, Arp),
    DumpBits(12, kOscillatorsFilterBypass, 5, 1, Filter),
    DumpBits(12, kLFO2DelayFade, 4, 1, LFO2),
    DumpBits(12, kLFO1DelayFade, 3, 1, LFO1),
    DumpBits(12, kNoiseFM, 2, 1, Voice),
    DumpBits(12, kOscillator23FM, 1, 1, Voice),
    DumpBits(12, kOscillator13FM, 0, 1, Voice),
    DumpByte(13, kEnvelope1KeyTracking, Env1),
    DumpByte(14, kEnvelope2KeyTracking, Env2),
    DumpByte(15, kEnvelope3KeyTracking, Env3),
    DumpByte(16, kFilterWidthSpecial, Filter),
    Special(DumpBits(16, kFilterWidth, 3, 4, Filter), DumpSpecial::ReadOnly),
    DumpByte(17, kVCODrift, Voice),
    DumpByte(18, kKeyboardTranspose, None, 61),
    DumpByte(19, kRealtimeTransposeZoneHigh, Arp),
    DumpByte(20, kRealtimeTransposeZoneLow, Arp),
    DumpByte(21, kRealtimeTransposeZoneDetune, Arp),
    DumpByte(22, kEnvelope1ADRepeat, Env1),
    DumpByte(23, kEnvelope2ADRepeat, Env2),
    DumpByte(24, kEnvelope3ADRepeat, Env3),
    DumpByte(25, kEnvelope1SustainTime, Env1),
    DumpByte(26, kEnvelope2SustainTime, Env2),
    DumpByte(27, kEnvelope3SustainTime, Env3),
    DumpByte(28, kEnvelope1SustainRate, Env1),
    DumpByte(29, kEnvelope2SustainRate, Env2),
    DumpByte(30, kEnvelope3SustainRate, Env3),
    DumpByte(31, kEnvelope1TrackingLevel, Env1),
    DumpByte(32, kEnvelope2TrackingLevel, Env2),
    DumpByte(33, kEnvelope3TrackingLevel, Env3),
    DumpByte(34, kEnvelope1KeyLevel, Env1),
    DumpByte(35, kEnvelope2KeyLevel, Env2),
    DumpByte(36, kEnvelope3KeyLevel, Env3),
    DumpByte(37, kOscillatorStartPhase, Voice),
    DumpByte(38, kDrumPlayedAs, Voice),
    DumpByte(39, kFilterOverdriveCurve, Filter),
    DumpByte(40, kArpOutputMidiTo, Arp),
    DumpByte(41, kArpGate, Arp, 1),
    DumpFixed(42, 0),
    DumpFixed(43, 0),
    DumpFixed(44, 0),
    DumpFixed(45, 0),
    DumpByte(46, kEnvelope2DelaySync, Env2),
    DumpByte(47, kEnvelope3DelaySync, Env3),
    DumpByte(48, kLFO1DelaySync, LFO1),
    DumpByte(49, kLFO2DelaySync, LFO2),
    DumpBits(50, kLFO2DelayMode, 1, 1, LFO2),
    DumpBits(50, kLFO1DelayMode, 0, 1, LFO1),
    DumpFixed(51, 0),
    DumpFixed(52, 0),
    DumpFixed(53, 0),
    DumpFixed(54, 0),
    DumpFixed(55, 0),
    DumpFixed(56, 0),
    DumpFixed(57, 0),
    DumpFixed(58, 0),
    DumpFixed(59, 0),
    DumpFixed(60, 0),
    DumpFixed(61, 0),
    DumpFixed(62, 0),
    DumpFixed(63, 0),
    DumpFixed(64, 0),
    DumpBits(65, kFXChorusWheelMode, 1, 1, FXChorus),
    DumpBits(65, kFXBypass, 0, 1, None),
    Special(DumpByte(66, kFXChorusType, FXChorus), DumpSpecial::ChorusExtended, kFXChorusType2),
    DumpByte(67, kFXDistortionOPLevel, FXDistortion),
    DumpByte(68, kFXDistortionGainComp, FXDistortion),
    DumpByte(69, kFXDistortionCurve, FXDistortion),
    DumpByte(70, kFXCombFilterBoostWH, FXCombFilter),
    DumpByte(71, kFXCombFilterFreqWH, FXCombFilter),
    DumpByte(72, kFXCombFilterSpread, FXCombFilter),
    DumpByte(73, kFXCombFilterSpeed, FXCombFilter),
    DumpByte(74, kFXCombFilterDepth, FXCombFilter),
    DumpByte(75, kFXChorusDelay, FXChorus),
    DumpByte(76, kFXChorusLFOWave, FXChorus),
    DumpByte(77, kFXChorusStereoWidth, FXChorus),
    DumpByte(78, kFXChorusSpeed2, FXChorus),
    DumpByte(79, kFXChorusInertia, FXChorus),
    DumpFixed(80, 0),
    DumpByte(81, kFXPanSync, FXPanning),
    DumpByte(82, kFXChorusSync, FXChorus),
    DumpByte(83, kFXCombFilterSync, FXCombFilter),
    DumpFixed(84, 0),
    DumpFixed(85, 0),
    DumpFixed(86, 0),
    DumpFixed(87, 0),
    DumpFixed(88, 0),
    DumpFixed(89, 0),
    DumpFixed(90, 0),
    DumpFixed(91, 0),
    DumpFixed(92, 0),
    DumpFixed(93, 0),
    DumpFixed(94, 0),
    DumpFixed(95, 0),
    DumpFixed(96, 0),
};

// The initial program: one oscillator into an open filter, no modulation, no effects. Parameters
// not listed here are 0; the modulation amounts sit at their centre, 64, which is no modulation.
struct InitValue
{
  int param;
  int value;
};
constexpr InitValue kInitValues[] = {
    {kOscillator1Octave, 2},
    {kOscillator2Octave, 2},
    {kOscillator3Octave, 2},
    {kOscillator1Semitone, 12},
    {kOscillator2Semitone, 12},
    {kOscillator3Semitone, 12},
    {kOscillator1Detune, 64},
    {kOscillator2Detune, 64},
    {kOscillator3Detune, 64},
    {kOscillator1BendRange, 12},
    {kOscillator2BendRange, 12},
    {kOscillator3BendRange, 12},
    {kOscillator1Keyfollow, 64},
    {kOscillator2Keyfollow, 64},
    {kOscillator3Keyfollow, 64},
    {kOscillator1Pulsewidth, 64},
    {kOscillator2Pulsewidth, 64},
    {kOscillator3Pulsewidth, 64},
    {kOscillator1Level, 127},
    {kFilterCutoff, 127},
    {kFilterKeytrack, 64},
    {kEnv1Sustain, 127},
    {kEnv1Release, 8},
    {kEnv2Sustain, 127},
    {kEnv3Sustain, 127},
    {kLFO1Speed, 64},
    {kLFO2Speed, 64},
    {kProgramLevel, 100},
    {kProgramPolyphony, 1},
    {kFXEQBass, 64},
    {kFXEQTreble, 64},
    {kFXPanDryLevel, 127},
    {kMultiPartPanning, 64},
};

bool IsModulationAmount(int index)
{
  return (index >= kOscillator1MWLFO1amnt && index < kOscillator3ATLFO1amnt + kPartCount) ||
         (index >= kLFO1osc1Sync && index < kLFO2ATspeedMod + kPartCount);
}

// The value the initial program gives a parameter of part 0.
double InitProgramValue(int index)
{
  for (const InitValue& v : kInitValues)
    if (v.param == index) return v.value;
  return IsModulationAmount(index) ? 64 : 0;
}

std::vector<uint8_t> BuildMain(int part, const SysExAddress& address, const std::string& name, auto&& valueOf)
{
  std::vector<uint8_t> message = BuildSysExMessage(kSysExProgramEditBuffer, address);
  message[8] = uint8_t(part);
  WriteDumpName(name, message.data() + kProgramNameOffset);
  WriteDumpFields(kMainFields, message.data(), message.size(), 0, part, valueOf);
  return message;
}

std::vector<uint8_t> BuildSecond(int part, const SysExAddress& address, auto&& valueOf)
{
  std::vector<uint8_t> message = BuildSysExMessage(kSysExProgramEditBuffer2, address);
  message[8] = uint8_t(part);
  WriteDumpFields(kSecondFields, message.data(), message.size(), 0, part, valueOf);
  return message;
}

// Acceptance of either message: the frame says this type and a part 0 - 7.
DumpStatus Check(const uint8_t* message, size_t size, uint8_t type, size_t wanted, DumpResult& result)
{
  if (!IsDumpOfType(message, size, type) || size < 9 || message[8] > 7) return DumpStatus::NotThisType;
  if (size < wanted)
  {
    result.statusText = "Incomplete program dump ignored!";
    return DumpStatus::Refused;
  }
  return DumpStatus::Taken;
}
} // namespace

std::span<const DumpField> ProgramDumpFields()
{
  return kMainFields;
}
std::span<const DumpField> ProgramDumpBFields()
{
  return kSecondFields;
}

DumpResult ParseProgramDump(IEffectBase& plug, const uint8_t* message, size_t size,
                            const DumpContext& context)
{
  DumpResult result;
  result.status = Check(message, size, kSysExProgramEditBuffer, kProgramDumpSize, result);
  if (!result.Taken()) return result;

  return WithParameterLock(
      plug,
      [&]
      {
        DumpParameters parameters(plug);
        const int part = message[8];
        result.part = part;
        AppendNameChars(message, size, int(kProgramNameOffset), int(kProgramNameOffset + kDumpNameChars),
                        result.name);
        parameters.SetText(kPatchName + part, result.name);

        DumpReadState state;
        state.locks = ReadDumpLocks(parameters, part);
        ReadDumpFields(kMainFields, message, kProgramDumpSize, 0, part, state, parameters);

        const int selected = std::clamp(context.selectedPart, 0, kPartCount - 1);
        result.progressText = parameters.Text(kPatchName + selected);
        if (part == selected)
        {
          result.showsSelectedPart = true;
          result.infoText = CategoryText(context.categoryNames, parameters.IntValue(kCategoryName + part));
        }
        return result;
      });
}

DumpResult ParseProgramDumpB(IEffectBase& plug, const uint8_t* message, size_t size, const DumpContext&)
{
  DumpResult result;
  result.status = Check(message, size, kSysExProgramEditBuffer2, kProgramDumpBSize, result);
  if (!result.Taken()) return result;

  return WithParameterLock(plug,
                           [&]
                           {
                             DumpParameters parameters(plug);
                             result.part = message[8];
                             DumpReadState state;
                             state.locks = ReadDumpLocks(parameters, result.part);
                             ReadDumpFields(kSecondFields, message, kProgramDumpBSize, 0, result.part, state,
                                            parameters);
                             return result;
                           });
}

std::string ProgramDumpName(const std::vector<uint8_t>& main)
{
  std::string name;
  if (main.size() >= kProgramNameOffset + kDumpNameChars)
    AppendNameChars(main.data(), main.size(), int(kProgramNameOffset),
                    int(kProgramNameOffset + kDumpNameChars), name);
  return name;
}

std::vector<uint8_t> BuildProgramDump(IEffectBase& plug, int part, const SysExAddress& address)
{
  part = std::clamp(part, 0, kPartCount - 1);
  return WithParameterLock(plug,
                           [&]
                           {
                             DumpParameters parameters(plug);
                             return BuildMain(part, address, parameters.Text(kPatchName + part),
                                              [&](int index) { return parameters.Value(index); });
                           });
}

std::vector<uint8_t> BuildProgramDumpB(IEffectBase& plug, int part, const SysExAddress& address)
{
  part = std::clamp(part, 0, kPartCount - 1);
  return WithParameterLock(plug,
                           [&]
                           {
                             DumpParameters parameters(plug);
                             return BuildSecond(part, address,
                                                [&](int index) { return parameters.Value(index); });
                           });
}

std::vector<std::vector<uint8_t>> BuildProgramForSlot(IEffectBase& plug, int part,
                                                      const SysExAddress& address, int bankCode, int slot)
{
  std::vector<std::vector<uint8_t>> messages = WithParameterLock(
      plug,
      [&] {
        return std::vector{BuildProgramDump(plug, part, address), BuildProgramDumpB(plug, part, address)};
      });
  for (std::vector<uint8_t>& message : messages)
    ToMemoryDump(message, DumpKind::Program, slot, bankCode);
  return messages;
}

std::vector<std::vector<uint8_t>> BuildInitProgram(const SysExAddress& address, int bankCode, int slot)
{
  std::vector<uint8_t> main = BuildMain(0, address, "Init Program", InitProgramValue);
  std::vector<uint8_t> second = BuildSecond(0, address, InitProgramValue);
  ToMemoryDump(main, DumpKind::Program, slot, bankCode);
  ToMemoryDump(second, DumpKind::Program, slot, bankCode);
  return {std::move(main), std::move(second)};
}
