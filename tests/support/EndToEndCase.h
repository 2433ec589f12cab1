#pragma once
// What every end-to-end case sets up around the plug-in and undoes after it (see EndToEndRig.h).
#include "tests/support/EndToEndRig.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

// Every wait of the link ten times faster, and a data folder of the case's own (named prefix-...)
// in VELK_DATA_DIR; the folder goes with the object returned.
inline std::unique_ptr<TempFolder> ScaledClockAndDataFolder(const std::string& prefix)
{
  setenv("VELK_CLOCK_SCALE", "0.1", 1);
  auto folder = std::make_unique<TempFolder>(prefix);
  setenv("VELK_DATA_DIR", folder->Path().c_str(), 1);
  return folder;
}

// Starts the simulated synthesizer on the JACK server as the client at the device id and seed; its
// ports' names go to in and out. False when it did not start or did not say it was ready.
inline bool StartSimSynth(SimSynthProcess& sim, const std::string& client, int deviceId, int seed,
                          std::string& in, std::string& out)
{
  if (!sim.Start({"--client", client, "--device-id", std::to_string(deviceId), "--seed", std::to_string(seed),
                  "--api", "jack"}))
    return false;
  std::istringstream words(sim.ReadLine());
  std::string word;
  words >> word >> in >> out;
  return word == "READY";
}

// Runs audio blocks of the plug-in (four at a time, 20 ms apart) until done says so, or the bound
// passes.
inline bool ProcessBlocksUntil(vsthost::VstHost& plugin, int block, const std::function<bool()>& done,
                               std::chrono::milliseconds bound)
{
  const auto deadline = std::chrono::steady_clock::now() + bound;
  while (std::chrono::steady_clock::now() < deadline)
  {
    for (int i = 0; i < 4; ++i)
      plugin.ProcessReplacing(block);
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

// A client name no other case, process or run has: "<prefix>-<pid>-<serial>".
inline std::string UniqueClientName(const std::string& prefix)
{
  static std::atomic<int> serial{0};
  return prefix + "-" + std::to_string(getpid()) + "-" + std::to_string(serial++);
}

// One case's own surroundings: a data folder of its own named in VELK_DATA_DIR, every wait of the link
// ten times faster, and the simulated synthesizer on the JACK server under a client name of its own.
struct EndToEndCase
{
  // Starts the simulator as "<prefix>-sim-<unique>" at the device id and seed; its ports' names
  // go to simIn and simOut. False when it did not start or did not say it was ready.
  bool Start(const std::string& prefix, int deviceId, int seed)
  {
    dataFolder = ScaledClockAndDataFolder(prefix);
    dataDir = dataFolder->Path();
    return StartSimSynth(sim, UniqueClientName(prefix + "-sim"), deviceId, seed, simIn, simOut);
  }

  // Ends the simulator and removes the data folder.
  void Finish()
  {
    sim.WriteLine("QUIT");
    sim.Finish();
    unsetenv("VELK_DATA_DIR");
    dataFolder.reset();
    dataDir.clear();
  }

  // The simulator's log (what it heard and answered), oldest first.
  std::vector<std::string> SimLog() { return SimAnswerLines(sim, "LOG"); }

  // The simulator's count of dumps taken into its stores: its "WRITES ..." line (empty when it did not
  // answer). Equal lines before and after an action mean nothing was written.
  std::string SimWrites()
  {
    sim.WriteLine("WRITES");
    return sim.ReadLine();
  }

  // What the simulator heard ("IN" lines only), oldest first.
  std::vector<std::string> SimHeard()
  {
    std::vector<std::string> heard;
    for (std::string& line : SimLog())
      if (line.rfind("IN ", 0) == 0) heard.push_back(std::move(line));
    return heard;
  }

  // The status byte ("B0".."BF") of the first controller of the number that the simulator heard from
  // its from-th message on; empty when none came.
  std::string ControllerHeard(int controller, size_t from)
  {
    char number[3];
    std::snprintf(number, sizeof number, "%02X", controller);
    const std::vector<std::string> log = SimHeard();
    for (size_t i = from; i < log.size(); ++i)
      if (log[i].size() == 11 && log[i].rfind("IN B", 0) == 0 && log[i].substr(6, 2) == number)
        return log[i].substr(3, 2);
    return "";
  }

  std::unique_ptr<TempFolder> dataFolder;
  std::filesystem::path dataDir;
  SimSynthProcess sim;
  std::string simIn, simOut;
};

// The end of a case: when it has failed, what the editor's window shows is left in the build folder
// (e2e-<case>.png); then the editor is closed and the plug-in unloaded.
inline void CloseEditorAndPlugin(std::unique_ptr<EditorOnScreen>& editor, vsthost::VstHost& host)
{
  if (editor && ::testing::Test::HasFailure())
  {
    const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    const std::string path = std::string(VELK_BINARY_DIR) + "/e2e-" + name + ".png";
    if (editor->SaveScreenshot(path)) std::fprintf(stderr, "the editor at the end: %s\n", path.c_str());
  }
  if (editor) editor->Close();
  editor.reset();
  host.Close();
}
