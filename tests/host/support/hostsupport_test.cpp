// What torvel-host prints for the values the library hands back.

#include "hostsupport.h"

#include <gtest/gtest.h>

namespace {

TEST(HostValue, DatesPrintAsCalendarDates)
{
    // January and February belong to the year they are in; the time of day
    // does not show.
    const std::pair<double, const char *> cases[] = {
        {45351.75, "2024-02-29"}, {46023.0, "2026-01-01"}, {46387.0, "2026-12-31"}, {2.0, "1900-01-01"}};
    for (const auto &[ole, text] : cases)
        EXPECT_EQ(torvel::host::Value::date(ole).toText(), text) << ole;
}

} // namespace
