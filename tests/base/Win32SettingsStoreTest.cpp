// The data folder on Windows: the registry value of the local machine hive, unless VELK_DATA_DIR says
// otherwise.

#include "platform/settings/SettingsStore.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace
{
const wchar_t kKey[] = L"SOFTWARE\\Brackenfold\\VELK\\Settings";
const wchar_t kValue[] = L"DataInstallPath";

void SetText(HKEY key, DWORD type, const std::wstring& text)
{
  ASSERT_EQ(RegSetValueExW(key, kValue, 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                           DWORD((text.size() + 1) * sizeof(wchar_t))),
            ERROR_SUCCESS);
}
} // namespace

TEST(Win32SettingsStore, DataFolderFromTheRegistryUnlessOverridden)
{
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_SET_VALUE | KEY_QUERY_VALUE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS)
    GTEST_SKIP() << "no right to write the local machine hive";
  // What was there before comes back afterwards.
  std::vector<BYTE> previous(64 * 1024);
  DWORD previousType = 0, previousSize = DWORD(previous.size());
  const bool hadValue =
      RegQueryValueExW(key, kValue, nullptr, &previousType, previous.data(), &previousSize) == ERROR_SUCCESS;
  unsetenv("VELK_DATA_DIR");

  RegDeleteValueW(key, kValue);
  EXPECT_EQ(SettingsStore::DataFolder(), "");
  EXPECT_EQ(SettingsStore::SettingsFilePath(), "");

  SetText(key, REG_SZ, L"C:\\Velk Data\\B\u00E4nke");
  EXPECT_EQ(SettingsStore::DataFolder(), "C:\\Velk Data\\B\xC3\xA4nke"); // UTF-8

  SetEnvironmentVariableW(L"VELK_TEST_ROOT", L"D:\\root");
  SetText(key, REG_EXPAND_SZ, L"%VELK_TEST_ROOT%\\banks");
  EXPECT_EQ(SettingsStore::DataFolder(), "D:\\root\\banks");
  SetEnvironmentVariableW(L"VELK_TEST_ROOT", nullptr);

  const std::wstring longPath = L"C:\\" + std::wstring(3000, L'x');
  SetText(key, REG_SZ, longPath);
  EXPECT_EQ(SettingsStore::DataFolder().size(), longPath.size());

  // A number is no folder.
  const DWORD number = 7;
  RegSetValueExW(key, kValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
  EXPECT_EQ(SettingsStore::DataFolder(), "");

  SetText(key, REG_SZ, L"C:\\from registry");
  setenv("VELK_DATA_DIR", "C:\\override", 1);
  EXPECT_EQ(SettingsStore::DataFolder(), "C:\\override");
  unsetenv("VELK_DATA_DIR");
  EXPECT_EQ(SettingsStore::DataFolder(), "C:\\from registry");

  if (hadValue)
    RegSetValueExW(key, kValue, 0, previousType, previous.data(), previousSize);
  else
    RegDeleteValueW(key, kValue);
  RegCloseKey(key);
}
