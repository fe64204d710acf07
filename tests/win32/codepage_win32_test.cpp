// Our table against the system's own code page 1251 conversion, on every byte.
#include <windows.h>

#include <gtest/gtest.h>

#include "common/cp1251.h"

namespace corvella {
namespace {

TEST(CodePageWin32, OurTableAgreesWithTheSystemOnAllBytes) {
  for (int b = 0; b < 256; ++b) {
    char in = static_cast<char>(b);
    wchar_t out = 0;
    ASSERT_EQ(MultiByteToWideChar(1251, 0, &in, 1, &out, 1), 1) << b;
    EXPECT_EQ(static_cast<unsigned>(out), static_cast<unsigned>(Cp1251ToUnicode(static_cast<unsigned char>(b))))
        << "byte " << b;
    char back = 0;
    BOOL defaulted = FALSE;
    ASSERT_EQ(WideCharToMultiByte(1251, 0, &out, 1, &back, 1, nullptr, &defaulted), 1);
    EXPECT_EQ(static_cast<unsigned char>(back), static_cast<unsigned char>(b)) << "byte " << b;
  }
}

}  // namespace
}  // namespace corvella
