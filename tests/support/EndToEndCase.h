#pragma once
// What every end-to-end case sets up around the plug-in and undoes after it (see EndToEndRig.h).
#include "tests/support/EndToEndRig.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

// One case's own surroundings: a data folder of its own named in VELK_DATA_DIR, every wait of the link
// ten times faster, and the simulated synthesizer on the JACK server under a client name of its own.
struct EndToEndCase
{
  // Starts the simulator as "<prefix>-sim-<unique>" at the device id and seed; its ports' names
  // go to simIn and simOut. False when it did not start or did not say it was ready.
  bool Start(const std::string& prefix, int deviceId, int seed)
  {
    static std::atomic<int> serial{0};
    const std::string unique = std::to_string(getpid()) + "-" + std::to_string(serial++);
    setenv("VELK_CLOCK_SCALE", "0.1", 1);
    dataFolder = std::make_unique<TempFolder>(prefix);
    dataDir = dataFolder->Path();
    setenv("VELK_DATA_DIR", dataDir.c_str(), 1);
    if (!sim.Start({"--client", prefix + "-sim-" + unique, "--device-id", std::to_string(deviceId), "--seed",
                    std::to_string(seed), "--api", "jack"}))
      return false;
    std::istringstream words(sim.ReadLine());
    std::string word;
    words >> word >> simIn >> simOut;
    return word == "READY";
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
