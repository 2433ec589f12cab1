#pragma once

#include "link/host/MidiQueue.h"

#include <array>
#include <atomic>
#include <cstdint>

// The state the synthesizer link and its owner share. Each field names the threads that write it;
// every field is atomic (0 or 1 for the flags) unless it says otherwise, so any thread may read it.
// "Change handler" is the owner's parameter change handler, which runs on whichever thread set the
// parameter (the host's, the user-interface thread, the MIDI input thread or the jobs thread), under
// the parameter lock. The owner (the main class) derives from this struct; link tests use a double.
struct LinkState
{
  // ---- the owner's settings, mirrored by its change handler ----
  std::array<std::atomic<uint8_t>, 14> passThrough{}; // change handler; host CC..SE, then synthesizer CC..SE
  std::atomic<uint8_t> queueShortMidi{0};             // change handler: short messages go through midiQueue
  std::atomic<uint8_t> ledsShowIncoming{1};           // change handler: the activity lights show input
  std::atomic<uint8_t> sendStartStop{0};              // change handler: Start and Stop follow the transport
  std::atomic<uint8_t> sendClock{0};                  // change handler: the clock job sends the clock
  std::atomic<uint8_t> performanceMode{0};            // change handler: the librarian holds performances
  std::atomic<uint8_t> patternMode{0};                // change handler: the librarian holds patterns
  std::atomic<uint8_t> partChannels{0};               // read for the dump context; nothing sets it yet
  std::atomic<int32_t> model{0};                      // change handler; project recall
  // Change handler and project recall; the handshake's scan (jobs thread) and a received global
  // dump (MIDI input thread) adopt the id the synthesizer answered on.
  std::atomic<int32_t> deviceId{15};
  // Change handler; a received performance (MIDI input thread) selects its part.
  std::atomic<int32_t> selectedPart{0};
  // Change handler; a received global dump and a received local-control controller (MIDI input thread).
  std::atomic<uint8_t> localControlOn{0};

  // ---- the owner's life ----
  std::atomic<uint8_t> editorReady{0};       // owner, once built and after a project recall
  std::atomic<uint8_t> midiOutputReady{0};   // owner's port selection (user-interface thread or recall)
  std::atomic<uint8_t> inSecondaryChange{0}; // owner's secondary change handler, for its own duration
  // Owner, as the editor opens and closes (user-interface thread): the initial-slot jobs write into
  // the editor only while it shows them.
  std::atomic<uint8_t> uiUpdate{0};

  // ---- transfers ----
  // Set while a send sequence or a transfer holds incoming messages back: DeviceSender (its caller's
  // thread) and the send and slot jobs (jobs thread); cleared also by the owner's ShowTransferOverlay.
  std::atomic<uint8_t> transferBusy{0};
  // The handshake holds the editor's controllers back: DeviceSender::Connect sets it, the handshake
  // job (jobs thread) or a refused post clears it.
  std::atomic<uint8_t> connectPending{0};
  // The synthesizer answered: the owner's SysEx handler (MIDI input thread) sets it, requests clear it
  // (the poster's thread: parameter output, incoming messages, the worker's arming).
  std::atomic<uint8_t> hardwareAnswered{0};
  // The answer of a request was processed: same writers as hardwareAnswered.
  std::atomic<uint8_t> requestProcessed{0};
  // The part whose program a request asked for, -1 for none: incoming messages (MIDI input or host
  // thread) and the request jobs (jobs thread) set it; the worker clears it when the job ends and
  // when the answer is in (MIDI input thread).
  std::atomic<int32_t> pendingRequestId{-1};
  // A part-program request waits for the jobs thread: the owner's transfer routes (user-interface
  // thread) set it, the worker's audio-block post (audio thread) clears it when it posts the job.
  std::atomic<uint8_t> deferredPartRequest{0};
  // One-shot flags of the performance send: the owner's transfer routes raise them while the jobs
  // thread is idle; the send and slot jobs (jobs thread) take them.
  std::atomic<uint8_t> sendGlobalsFirst{0};
  std::atomic<uint8_t> sendPartsFirst{0};
  std::atomic<uint8_t> performanceSend{0}; // the performance send job (jobs thread), while it runs

  // ---- transport and clock (audio thread, in the worker's PostFromAudioBlock) ----
  std::atomic<uint8_t> transportStartSent{0};
  // Also cleared by the change handler and by a clock job that ran (clock thread), to start the clock again.
  std::atomic<uint8_t> clockJobStarted{0};

  // ---- part selection (DeviceSender, on its caller's thread: a worker or the user-interface thread) ----
  std::atomic<uint8_t> incomingMidiBlocked{0}; // the part-select NRPN holds incoming messages back
  std::atomic<uint8_t> reselectingParts{0};    // the parts of a performance are being re-selected
  // The conflict window is not shown for a duplicate part while set: the owner's change handler sets
  // it when the user sends a selection anyway; DeviceSender clears it.
  std::atomic<uint8_t> conflictWindowSuppressed{0};
  // The part whose program selection waits for the user's answer in the conflict window, -1 for none:
  // DeviceSender sets it as it shows the window, the owner's change handler takes it.
  std::atomic<int32_t> conflictPart{-1};
  std::array<std::atomic<int32_t>, 8> lastBank{};    // each part's last selected bank
  std::array<std::atomic<int32_t>, 8> lastProgram{}; // each part's last selected program

  // ---- activity lights (DeviceSender: lit by the sends, dimmed by the audio thread after 100 ms) ----
  std::array<std::atomic<int32_t>, 8> ledLit{};
  std::array<std::atomic<int32_t>, 8> ledTime{};

  // ---- incoming controllers (incoming messages: MIDI input thread or host thread) ----
  // Set while a received controller moves a control, and whether it came from the host rather
  // than the synthesizer: the parameter output does not echo it.
  std::atomic<uint8_t> applyingReceivedController{0};
  std::atomic<uint8_t> fromHostFlag{0};

  // Short messages for the audio callback to send (queueShortMidi): added by DeviceSender on any
  // thread, drained by the owner's audio callback; the queue has its own lock.
  MidiQueue midiQueue;
};
