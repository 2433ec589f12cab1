#include "editor/PatchManager.h"

PatchManager::PatchManager() = default;

void PatchManager::SetName(int n, const std::string& text)
{
  if (n < 0 || n >= kNumNames) return;
  SetNameExact(n, text.empty() ? std::string("Set Name") : text);
  if (mListener) mListener(n);
}

void PatchManager::SetNameExact(int n, const std::string& text)
{
  if (n < 0 || n >= kNumNames) return;
  std::lock_guard<std::mutex> lock(mMutex);
  mNames[n] = text.substr(0, kMaxNameLength);
}

std::string PatchManager::Name(int n) const
{
  if (n < 0 || n >= kNumNames) return {};
  std::lock_guard<std::mutex> lock(mMutex);
  return mNames[n];
}

std::array<std::string, PatchManager::kNumNames> PatchManager::Names() const
{
  std::lock_guard<std::mutex> lock(mMutex);
  return mNames;
}

void PatchManager::SetNames(const std::array<std::string, kNumNames>& names)
{
  std::lock_guard<std::mutex> lock(mMutex);
  for (int i = 0; i < kNumNames; ++i)
    mNames[i] = names[i].substr(0, kMaxNameLength);
}
