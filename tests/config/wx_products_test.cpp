#include "pellicor/config.h"

#include <gtest/gtest.h>

TEST(WxProductTable, TranslatesNamesAndIdsBothWays)
{
    EXPECT_EQ(tvk::wxProductIdByName("METARS"), 3);
    EXPECT_EQ(tvk::wxProductIdByName("PIREPS"), 13);
    EXPECT_EQ(tvk::wxProductNameById(3), "METARS");
    for (int id = 0; id < tvk::wxProductCount; ++id)
        EXPECT_EQ(tvk::wxProductIdByName(tvk::wxProductNameById(id)), id);
}

TEST(WxProductTable, KnowsOnlyExactProductNames)
{
    for (const char* name : {"metars", " METARS", "", "MetRadar", "Radar US", "Airport Wx"})
        EXPECT_EQ(tvk::wxProductIdByName(name), 14) << name;
    EXPECT_EQ(tvk::wxProductNameById(14), "");
    EXPECT_EQ(tvk::wxProductNameById(-1), "");
}

TEST(WxProductTable, EachCategoryHasOneCodeAndName)
{
    for (const tvk::WxProductInfo& a : tvk::wxProductTable) {
        for (const tvk::WxProductInfo& b : tvk::wxProductTable) {
            if (a.categoryId == b.categoryId) {
                EXPECT_EQ(a.categoryCode, b.categoryCode);
                EXPECT_EQ(a.categoryName, b.categoryName);
            }
        }
    }
}
