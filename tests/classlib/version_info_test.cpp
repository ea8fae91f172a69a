#include "classlib/version_info.h"

#include <gtest/gtest.h>

TEST(VersionInfo, ParsesTheBlock) {
  std::string error;
  auto info = classlib::ParseVersionInfo(
      "# block\nFileVersion = 1.2.3.4\nProductVersion = 0.0.0.0\nFileFlags = 0\nFileType = VFT_APP\n"
      "FileOS = VOS__WINDOWS32\nTranslation = 0x1409 0x04E4\nString ProductVersion = \"0.00\"\n"
      "String Comments = \"\"\n",
      &error);
  ASSERT_TRUE(info) << error;
  EXPECT_EQ(info->FileVersion, (std::array<std::uint16_t, 4>{1, 2, 3, 4}));
  EXPECT_EQ(info->Language, 0x1409);
  EXPECT_EQ(info->CodePage, 0x04E4);
  EXPECT_EQ(info->String("ProductVersion"), "0.00");
  EXPECT_EQ(info->String("Comments"), "");
  EXPECT_FALSE(info->String("CompanyName"));
}

TEST(VersionInfo, MalformedLinesAreNamed) {
  for (const char* text : {"FileVersion = 1.2.3\n", "FileVersion = 1.2.3.70000\n", "Translation = 0x1409\n",
                           "\nSpeed = 3\n", "String Name = unquoted\n"}) {
    SCOPED_TRACE(text);
    std::string error;
    EXPECT_FALSE(classlib::ParseVersionInfo(text, &error));
    EXPECT_NE(error.find("line"), std::string::npos);
  }
}
