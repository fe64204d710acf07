// ReadFileVersion on small modules built with known version resources.
#include <gtest/gtest.h>

#include "shell/file_version_win32.h"
#include "shell/settings_dialog_layout.h"

namespace corvella {
namespace {

TEST(ReadFileVersion, TakesTheFirstTranslationsTableAndNeverFails) {
  // Language 0x0419, code page 0x04E3: the table "041904E3".
  EXPECT_EQ(ReadFileVersion(CORVELLA_VERSION_FIXTURES L"/version_fixture_russian.dll"), "2.7.1.44");
  // Language 0x0400 keeps its zero digits ("040004E3"); the second translation is not used.
  EXPECT_EQ(ReadFileVersion(CORVELLA_VERSION_FIXTURES L"/version_fixture_neutral.dll"), "3.1.0.9");
  // A one-character text, no version resource at all, no file: all "0.0.0.0".
  EXPECT_EQ(ReadFileVersion(CORVELLA_VERSION_FIXTURES L"/version_fixture_short.dll"), "0.0.0.0");
  EXPECT_EQ(ReadFileVersion(CORVELLA_VERSION_FIXTURES L"/version_fixture_none.dll"), "0.0.0.0");
  EXPECT_EQ(ReadFileVersion(CORVELLA_VERSION_FIXTURES L"/no such file.dll"), "0.0.0.0");
  EXPECT_EQ(VersionPart(ReadFileVersion(CORVELLA_VERSION_FIXTURES L"/version_fixture_none.dll")), "0.0.0");
  EXPECT_EQ(VersionPart(ReadFileVersion(CORVELLA_EXE_PATH)), "5.9.335");
}

}  // namespace
}  // namespace corvella
