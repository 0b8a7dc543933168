#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/format_settings.h"

namespace {

// The process settings are read once, at first use, so this binary holds this one test only.
TEST(UserLocale, CLocaleVariantCountsAsNoneAndGivesTheFallback) {
    ASSERT_EQ(setenv("LC_ALL", "C.UTF-8", 1), 0);
    const platform::TFormatSettings& settings = platform::FormatSettings();
    EXPECT_EQ(settings.ShortDateFormat, u"dd/mm/yyyy");
    EXPECT_EQ(settings.DateSeparator, u'.');
    EXPECT_EQ(settings.LongTimeFormat, u"hh:nn:ss");
    EXPECT_EQ(settings.TimeSeparator, u':');
    EXPECT_EQ(settings.DecimalSeparator, u'.');
    EXPECT_EQ(platform::DateTimeToStr(platform::EncodeDateTime(2024, 3, 5, 7, 8, 9, 0)),
              u"05.03.2024 07:08:09");
}

}  // namespace
