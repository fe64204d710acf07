// The settings store and the autostart entry against the real registry (the Wine prefix of the
// build tree), checked from outside with the system's own reg.exe and registry calls.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <string>

#include "common/cp1251.h"
#include "common/error.h"
#include "common/text_literal.h"
#include "common/utf8_win32.h"
#include "shell/app_settings.h"
#include "shell/autostart.h"
#include "shell/settings_store.h"

namespace corvella {
namespace {

constexpr const wchar_t* kVelmar = L"Software\\Velmar";
constexpr const wchar_t* kSection = L"Software\\Velmar\\corv";
constexpr const wchar_t* kRun = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const wchar_t* kRunBackup = L"Software\\CorvellaTestRunBackup";
constexpr std::string_view kExe = "C:\\Program Files\\Velmar\\corv.exe";

bool KeyExists(const wchar_t* path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

// The text of a value as the system reads it, or "<missing>".
std::wstring SystemText(const wchar_t* path, const wchar_t* name) {
  wchar_t buffer[512];
  DWORD size = sizeof(buffer);
  DWORD type = 0;
  if (RegGetValueW(HKEY_CURRENT_USER, path, name, RRF_RT_REG_SZ, &type, buffer, &size) != ERROR_SUCCESS) {
    return L"<missing>";
  }
  return buffer;
}

void SetSystemValue(const wchar_t* path, const wchar_t* name, DWORD type, const void* data, DWORD size) {
  ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, path, name, type, data, size), ERROR_SUCCESS);
}

// Runs a command through the system's shell and returns its exit code.
int RunCommand(const std::wstring& command) {
  std::fflush(nullptr);
  return _wsystem(command.c_str());
}

// A name of this process's own, so that another run's export never lands in this one's file.
std::wstring TempFile(const wchar_t* stem, const wchar_t* extension) {
  wchar_t dir[MAX_PATH];
  GetTempPathW(MAX_PATH, dir);
  static unsigned count = 0;
  return std::wstring(dir) + stem + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
         std::to_wstring(GetTickCount64()) + L"-" + std::to_wstring(count++) + extension;
}

// A .reg export is UTF-16 whatever the console's code page, so names compare exactly.
std::wstring ExportSection() {
  std::wstring file = TempFile(L"corvella_settings_export", L".reg");
  DeleteFileW(file.c_str());
  EXPECT_EQ(RunCommand(L"reg export \"HKCU\\Software\\Velmar\\corv\" \"" + file + L"\" /y >NUL 2>&1"), 0);
  std::string bytes;
  if (FILE* in = _wfopen(file.c_str(), L"rb")) {
    char chunk[4096];
    for (std::size_t n; (n = std::fread(chunk, 1, sizeof(chunk), in)) > 0;) bytes.append(chunk, n);
    std::fclose(in);
  }
  std::wstring text;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    text.push_back(static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]) |
                                        static_cast<unsigned char>(bytes[i + 1]) << 8));
  }
  DeleteFileW(file.c_str());
  return text;
}

class RegistryStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegDeleteTreeW(HKEY_CURRENT_USER, kVelmar);
    HKEY run = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kRun, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &run, nullptr),
              ERROR_SUCCESS);
    RegDeleteValueW(run, L"corv");
    RegCloseKey(run);
  }
};

TEST_F(RegistryStoreTest, CyrillicNamesAndTextsMeetTheSystemsOwn) {
  std::unique_ptr<SettingsStore> store = OpenRegistrySettings();
  EXPECT_TRUE(KeyExists(kVelmar));
  EXPECT_FALSE(KeyExists(kSection));  // sections appear with the first write
  store->WriteBool(kSettingsSection, "наИконке"_cp, true);
  store->WriteString(kSettingsSection, "loginPrx", "Пётр Ёлкин №1"_cp);
  store->WriteInteger(kSettingsSection, "Speed", -3);

  std::wstring exported = ExportSection();
  EXPECT_NE(exported.find(L"\"наИконке\"=\"1\""), std::wstring::npos) << "export:\n" << FromWide(exported);
  EXPECT_NE(exported.find(L"\"loginPrx\"=\"Пётр Ёлкин №1\""), std::wstring::npos);
  EXPECT_NE(exported.find(L"\"Speed\"=\"-3\""), std::wstring::npos);

  // And the other way: a value that reg.exe adds is found under our name.
  ASSERT_EQ(
      RunCommand(L"reg add \"HKCU\\Software\\Velmar\\corv\" /v \"Китайских юаней\" /t REG_SZ /d 2 /f >NUL"),
      0);
  EXPECT_TRUE(store->ReadBool(kSettingsSection, "Китайских юаней"_cp, false));
  EXPECT_EQ(store->ReadString(kSettingsSection, "loginPrx", ""), "Пётр Ёлкин №1"_cp);
}

TEST_F(RegistryStoreTest, ReadsTakeDefaultsAndLeaveTheRegistryAlone) {
  std::unique_ptr<SettingsStore> store = OpenRegistrySettings();
  EXPECT_EQ(store->ReadInteger(kSettingsSection, "geo", 12297), 12297);
  EXPECT_EQ(store->ReadString(kSettingsSection, "Prx", "none"), "none");
  EXPECT_FALSE(KeyExists(kSection));
  std::wstring empty;
  SetSystemValue(kSection, L"Prx", REG_SZ, empty.c_str(), sizeof(wchar_t));
  SetSystemValue(kSection, L"portPrx", REG_SZ, nullptr, 0);  // not even a terminator
  EXPECT_EQ(store->ReadString(kSettingsSection, "Prx", "none"), "");
  EXPECT_EQ(store->ReadString(kSettingsSection, "portPrx", "none"), "");
  EXPECT_EQ(store->ReadInteger(kSettingsSection, "Prx", 5), 5);
}

TEST_F(RegistryStoreTest, OnlyTextValuesAreRead) {
  std::unique_ptr<SettingsStore> store = OpenRegistrySettings();
  std::wstring expand = L"%SystemRoot%\\corv";
  SetSystemValue(kSection, L"Prx", REG_EXPAND_SZ, expand.c_str(),
                 static_cast<DWORD>((expand.size() + 1) * sizeof(wchar_t)));
  EXPECT_EQ(store->ReadString(kSettingsSection, "Prx", ""), "%SystemRoot%\\corv");

  store->WriteInteger(kSettingsSection, "geo", 100);
  DWORD number = 5;
  SetSystemValue(kSection, L"Цвет", REG_DWORD, &number, sizeof(number));
  AppSettings s;
  s.temperatureColor = 0xFF;
  MemoryAutostartEntry autostart;
  try {
    Loads(s, *store, autostart, kExe);
    ADD_FAILURE() << "a REG_DWORD value was read";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), std::string("Invalid data type for 'Цвет'"_cp));
  }
  EXPECT_EQ(s.locationIndex, 100);
  EXPECT_EQ(s.temperatureColor, 0xFFu);
  EXPECT_EQ(autostart.writeCount, 0);
}

TEST_F(RegistryStoreTest, AutostartOnAndOffKeepsTheValue) {
  std::unique_ptr<SettingsStore> store = OpenRegistrySettings();
  std::unique_ptr<AutostartEntry> autostart = OpenRunKeyAutostart();
  AppSettings s;
  Loads(s, *store, *autostart, kExe);  // first run: switched on
  EXPECT_TRUE(s.autostart);
  EXPECT_EQ(SystemText(kRun, L"corv"), L"\"" + ToWide(kExe) + L"\"");

  MarkFirstRunOver(*store);
  EXPECT_EQ(SystemText(kSection, L"version"), L"freeware");
  s.autostart = false;
  Saves(s, *store, *autostart, kExe);
  EXPECT_EQ(SystemText(kRun, L"corv"), L"");  // emptied, still there
  Loads(s, *store, *autostart, kExe);
  EXPECT_FALSE(s.autostart);

  s.autostart = true;
  Saves(s, *store, *autostart, kExe);
  EXPECT_EQ(autostart->Read(), AutostartCommand(kExe));
  EXPECT_EQ(SystemText(kSection, L"topwin"), L"1");
  EXPECT_EQ(SystemText(kSection, L"Индикатор"), L"<missing>");

  // A value of another type under our name is not an entry.
  DWORD number = 1;
  SetSystemValue(kRun, L"corv", REG_DWORD, &number, sizeof(number));
  EXPECT_EQ(autostart->Read(), "");
}

TEST_F(RegistryStoreTest, AutostartKeepsEveryLetterOfTheProgramsPath) {
  // A user folder with letters that Windows-1251 lacks, and one beyond the 16-bit range.
  const std::wstring path = L"C:\\Users\\Zo\u00EB \u04D8\u043B\u0438\u044F \u5C0F\U0001F600\\corvella.exe";
  std::unique_ptr<SettingsStore> store = OpenRegistrySettings();
  std::unique_ptr<AutostartEntry> autostart = OpenRunKeyAutostart();
  AppSettings s;
  Loads(s, *store, *autostart, WideToUtf8(path));  // first run: switched on
  EXPECT_EQ(SystemText(kRun, L"corv"), L"\"" + path + L"\"");
  EXPECT_EQ(Utf8ToWide(autostart->Read()), L"\"" + path + L"\"");
  EXPECT_TRUE(s.autostart);
  s.autostart = true;
  Saves(s, *store, *autostart, WideToUtf8(path));
  EXPECT_EQ(SystemText(kRun, L"corv"), L"\"" + path + L"\"");
}

TEST_F(RegistryStoreTest, WithoutTheRunKeyAutostartReadsEmptyAndWritesFail) {
  // Keep the prefix's Run key aside and bring it back whatever happens.
  RegDeleteTreeW(HKEY_CURRENT_USER, kRunBackup);
  HKEY run = nullptr;
  HKEY backup = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kRun, 0, KEY_READ, &run), ERROR_SUCCESS);
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kRunBackup, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &backup,
                            nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(RegCopyTreeW(run, nullptr, backup), ERROR_SUCCESS);
  RegCloseKey(run);
  struct Restore {
    HKEY backup;
    ~Restore() {
      HKEY again = nullptr;
      RegCreateKeyExW(HKEY_CURRENT_USER, kRun, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &again, nullptr);
      RegCopyTreeW(backup, nullptr, again);
      RegCloseKey(again);
      RegCloseKey(backup);
      RegDeleteTreeW(HKEY_CURRENT_USER, kRunBackup);
    }
  } restore{backup};
  ASSERT_EQ(RegDeleteTreeW(HKEY_CURRENT_USER, kRun), ERROR_SUCCESS);  // the key goes with its tree
  ASSERT_FALSE(KeyExists(kRun));

  std::unique_ptr<AutostartEntry> autostart = OpenRunKeyAutostart();
  EXPECT_EQ(autostart->Read(), "");
  try {
    autostart->Write(kExe);
    ADD_FAILURE() << "wrote without a Run key";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "Failed to set data for 'corv'");
  }
  EXPECT_FALSE(KeyExists(kRun));  // never created by us

  std::unique_ptr<SettingsStore> store = OpenRegistrySettings();
  store->WriteString(kSettingsSection, "version", "freeware");
  AppSettings s;
  s.autostart = true;
  Loads(s, *store, *autostart, kExe);
  EXPECT_TRUE(s.autostart);  // unchanged
}

}  // namespace
}  // namespace corvella
