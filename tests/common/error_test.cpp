#include "common/error.h"

#include <gtest/gtest.h>

#include "common/text_literal.h"

namespace corvella {
namespace {

TEST(ErrorBoxText, AddsAFullStopOnlyAfterAHigherCharacter) {
  EXPECT_EQ(ErrorBoxText("Read Timeout"), "Read Timeout.");
  EXPECT_EQ(ErrorBoxText("Connect timed out."), "Connect timed out.");
  EXPECT_EQ(ErrorBoxText("List index out of bounds (-1)"), "List index out of bounds (-1)");  // ')' < '.'
  EXPECT_EQ(ErrorBoxText("a-"), "a-");      // '-' is below '.'
  EXPECT_EQ(ErrorBoxText("a/"), "a/.");     // '/' is above '.'
  EXPECT_EQ(ErrorBoxText("0"), "0.");
  EXPECT_EQ(ErrorBoxText(""), "");
  // Cyrillic bytes are above 0x7F, so they count as higher.
  EXPECT_EQ(ErrorBoxText("Ошибка"_cp), std::string("Ошибка"_cp) + ".");
}

TEST(FillMessage, ReplacesTheFirstPlaceholder) {
  EXPECT_EQ(FillMessage("Invalid data type for '%s'", "geo"), "Invalid data type for 'geo'");
  EXPECT_EQ(FillMessage("List index out of bounds (%d)", -1), "List index out of bounds (-1)");
  EXPECT_EQ(FillMessage("'%s' is not a valid integer value", ""), "'' is not a valid integer value");
  EXPECT_EQ(FillMessage("%s and %s", "a"), "a and %s");
  EXPECT_EQ(FillMessage("no placeholder", "x"), "no placeholder");
  EXPECT_EQ(FillMessage("100%", "x"), "100%");
}

}  // namespace
}  // namespace corvella
