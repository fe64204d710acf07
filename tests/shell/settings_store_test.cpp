// Read rules and stored forms of the settings store, on the in-memory store (the registry
// store shares the same text layer and is checked under Wine).
#include <gtest/gtest.h>

#include <climits>

#include "common/error.h"
#include "common/text_literal.h"
#include "shell/memory_settings_store.h"

namespace corvella {
namespace {

using Type = MemorySettingsStore::ValueType;

class SettingsStoreTest : public ::testing::Test {
 protected:
  void Put(std::string_view name, std::string text) {
    store.SetRaw(kSettingsSection, name, Type::kText, text);
  }
  MemorySettingsStore store;
};

TEST_F(SettingsStoreTest, IntegersAndBooleansAreTextWithDefaultsForAnythingElse) {
  struct Case {
    const char* text;
    int asInteger;  // read with default 7
    bool asBool;    // read with default true
  };
  const Case cases[] = {
      {"0", 0, false},
      {"1", 1, true},
      {"2", 2, true},  // any non-zero is true
      {"-1", -1, true},
      {"+15", 15, true},
      {"007", 7, true},
      {"2147483647", INT_MAX, true},
      {"-2147483648", INT_MIN, true},
      {"2147483648", 7, true},  // past the range of int
      {"abc", 7, true},
      {"", 7, true},
      {" 5", 7, true},
      {"5 ", 7, true},
      {"1.5", 7, true},
      {"+", 7, true},
      {"-", 7, true},
      {"+-3", 7, true},
      {"0x10", 7, true},
  };
  for (const Case& c : cases) {
    Put("v", c.text);
    EXPECT_EQ(store.ReadInteger(kSettingsSection, "v", 7), c.asInteger) << '"' << c.text << '"';
    EXPECT_EQ(store.ReadBool(kSettingsSection, "v", true), c.asBool) << '"' << c.text << '"';
  }
  // A text that is no number gives the default in both directions.
  Put("v", "yes");
  EXPECT_FALSE(store.ReadBool(kSettingsSection, "v", false));
}

TEST_F(SettingsStoreTest, EmptyTextIsEmptyForStringsButDefaultForNumbers) {
  Put("proxy", "");
  EXPECT_EQ(store.ReadString(kSettingsSection, "proxy", "def"), "");
  EXPECT_EQ(store.ReadInteger(kSettingsSection, "proxy", 42), 42);
  EXPECT_TRUE(store.ReadBool(kSettingsSection, "proxy", true));
  EXPECT_EQ(store.ReadString(kSettingsSection, "missing", "def"), "def");
  EXPECT_EQ(store.ReadString("other", "proxy", "def"), "def");  // another section has nothing
}

TEST_F(SettingsStoreTest, WritesStoreDecimalTextAndOneOrZero) {
  store.WriteInteger(kSettingsSection, "i", -12);
  store.WriteInteger(kSettingsSection, "max", INT_MAX);
  store.WriteBool(kSettingsSection, "t", true);
  store.WriteBool(kSettingsSection, "f", false);
  store.WriteString(kSettingsSection, "Цвет"_cp, "Москва"_cp);
  EXPECT_EQ(store.Stored(kSettingsSection, "i"), "-12");
  EXPECT_EQ(store.Stored(kSettingsSection, "max"), "2147483647");
  EXPECT_EQ(store.Stored(kSettingsSection, "t"), "1");
  EXPECT_EQ(store.Stored(kSettingsSection, "f"), "0");
  EXPECT_EQ(store.ReadString(kSettingsSection, "Цвет"_cp, ""), "Москва"_cp);
  EXPECT_EQ(store.ReadInteger(kSettingsSection, "i", 0), -12);
}

TEST_F(SettingsStoreTest, ReadsNeverCreateTheSectionWritesDo) {
  EXPECT_EQ(store.ReadInteger("fresh", "x", 3), 3);
  EXPECT_FALSE(store.HasSection("fresh"));
  store.WriteBool("fresh", "x", true);
  EXPECT_TRUE(store.HasSection("fresh"));
}

TEST_F(SettingsStoreTest, OnlyTextValuesCanBeRead) {
  store.SetRaw(kSettingsSection, "expand", Type::kExpandText, "%TEMP%\\corv");
  EXPECT_EQ(store.ReadString(kSettingsSection, "expand", ""), "%TEMP%\\corv");  // not expanded
  store.SetRaw(kSettingsSection, "geo", Type::kDword, "\x05\0\0\0");
  store.SetRaw(kSettingsSection, "Цвет"_cp, Type::kBinary, "\x01");
  for (auto read : {+[](SettingsStore& s) { s.ReadInteger(kSettingsSection, "geo", 0); },
                    +[](SettingsStore& s) { s.ReadBool(kSettingsSection, "geo", false); },
                    +[](SettingsStore& s) { s.ReadString(kSettingsSection, "geo", ""); }}) {
    try {
      read(store);
      ADD_FAILURE() << "a DWORD value was read";
    } catch (const Error& e) {
      EXPECT_STREQ(e.what(), "Invalid data type for 'geo'");
    }
  }
  try {
    store.ReadInteger(kSettingsSection, "Цвет"_cp, 0);
    ADD_FAILURE() << "a binary value was read";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), std::string("Invalid data type for 'Цвет'"_cp));
  }
}

TEST_F(SettingsStoreTest, AFailedWriteReportsTheNameAndLeavesTheValue) {
  Put("Speed", "2");
  store.FailWritesOf("Speed");
  try {
    store.WriteInteger(kSettingsSection, "Speed", 3);
    ADD_FAILURE() << "the write did not fail";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "Failed to set data for 'Speed'");
  }
  EXPECT_EQ(store.Stored(kSettingsSection, "Speed"), "2");
  store.WriteBool(kSettingsSection, "other", true);  // only the named value fails
  store.FailAllWrites(true);
  EXPECT_THROW(store.WriteString(kSettingsSection, "other", "x"), Error);
}

}  // namespace
}  // namespace corvella
