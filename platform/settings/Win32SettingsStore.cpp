#include "platform/settings/SettingsStore.h"

#include "platform/win32/Win32Strings.h"

#include <vector>

std::string SettingsStore::SettingsFilePath()
{
  return {};
}

std::string SettingsStore::StoredDataFolder()
{
  const wchar_t* key = L"SOFTWARE\\Brackenfold\\VELK\\Settings";
  const wchar_t* value = L"DataInstallPath";
  // Texts only; a REG_EXPAND_SZ value counts as one and comes with its environment references
  // (%APPDATA%\...) expanded.
  const DWORD flags = RRF_RT_REG_SZ;
  DWORD bytes = 0;
  if (RegGetValueW(HKEY_LOCAL_MACHINE, key, value, flags, nullptr, nullptr, &bytes) != ERROR_SUCCESS ||
      bytes == 0)
    return {};
  // The value may grow between the two calls: a few attempts with the size asked for.
  for (int attempt = 0; attempt < 4; ++attempt)
  {
    std::vector<wchar_t> text(bytes / sizeof(wchar_t) + 1, L'\0');
    DWORD size = DWORD(text.size() * sizeof(wchar_t));
    const LSTATUS rc = RegGetValueW(HKEY_LOCAL_MACHINE, key, value, flags, nullptr, text.data(), &size);
    if (rc == ERROR_SUCCESS) return Narrow(text.data());
    if (rc != ERROR_MORE_DATA) return {};
    bytes = size;
  }
  return {};
}
