#include "editor/PatchManager.h"

#include "framework/plugin/IEffectBase.h"
#include "framework/plugin/IParameter.h"
#include "framework/plugin/ParameterIds.h"

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

int PatchManager::NameParameter(int n)
{
  if (n == kMultiName) return ::kMultiName;
  if (n >= kFirstPartName && n < kFirstPartName + kPartCount) return kPatchName + n - kFirstPartName;
  return -1;
}

void PatchManager::TakeNameFrom(IEffectBase& plug, int n)
{
  const IParameter* parameter = plug.ParameterAt(NameParameter(n));
  if (parameter) SetName(n, parameter->ValueTextCopy(0));
}

void PatchManager::ShowNamesIn(IEffectBase& plug)
{
  for (int n = 0; n < kFirstPartName + kPartCount; ++n)
  {
    const std::string name = Name(n);
    IParameter* parameter = plug.ParameterAt(NameParameter(n));
    if (name.empty() || !parameter) continue;
    parameter->AddValueText(0, name.c_str());
    if (mListener) mListener(n);
  }
}
