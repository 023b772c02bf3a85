#include "pellicor/config.h"

#include <gtest/gtest.h>

TEST(WxProductTable, TranslatesExactNamesAndIdsBothWays)
{
    EXPECT_EQ(tvk::wxProductIdByName("METARS"), 3);
    EXPECT_EQ(tvk::wxProductIdByName("PIREPS"), 13);
    EXPECT_EQ(tvk::wxProductNameById(3), "METARS");
    for (int id = 0; id < tvk::wxProductCount; ++id)
        EXPECT_EQ(tvk::wxProductIdByName(tvk::wxProductNameById(id)), id);

    for (const char* name : {"metars", " METARS", "", "MetRadar", "Radar US", "Airport Wx"})
        EXPECT_EQ(tvk::wxProductIdByName(name), 14) << name;
    EXPECT_EQ(tvk::wxProductNameById(14), "");
    EXPECT_EQ(tvk::wxProductNameById(-1), "");
}
