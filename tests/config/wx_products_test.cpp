#include "pellicor/config.h"

#include <string>

#include <gtest/gtest.h>

TEST(WxProductTable, TranslatesOnlyExactNamesAndKnownIds)
{
    // Every row's own name and id are in the table below; only the name
    // column is searched, exactly.
    for (const char* name : {"metars", " METARS", "", "MetRadar", "Radar US", "Airport Wx"})
        EXPECT_EQ(tvk::wxProductIdByName(name), 14) << name;
    EXPECT_EQ(tvk::wxProductNameById(14), "");
    EXPECT_EQ(tvk::wxProductNameById(-1), "");
}

TEST(WxProductTable, HoldsEveryRowAndColumnAsGiven)
{
    struct Row {
        int id;
        const char* name;
        const char* altName;
        const char* label;
        int categoryId;
        const char* categoryCode;
        const char* categoryName;
        int value;
        bool flagA;
        bool flagB;
    };
    const Row rows[] = {
        {0, "CONV", "Convection", "Cb Tops FCST", 6, "GCV", "Cb Tops FCST", 200, false, false},
        {1, "DATIS", "DATISTi", "DATIS", 4, "AWX", "Airport Wx", 650, true, true},
        {2, "NEXRAD", "MetRadar", "Radar US", 0, "RDR", "Radar", 1150, true, false},
        {3, "METARS", "Metarsi", "METAR", 4, "AWX", "Airport Wx", 2750, true, true},
        {4, "LIGHTNING", "Lightning", "Lightning", 2, "LTG", "Lightning", 1000, true, false},
        {5, "SAT", "Satellite07", "Satellite", 1, "SAT", "Satellite", 1000, true, false},
        {6, "SIGMETS", "Sigmetsi", "SIGMET", 3, "SIGMETS", "SIGMET", 350, false, true},
        {7, "TAFS", "Tafsi", "TAF", 4, "AWX", "Airport Wx", 650, true, true},
        {8, "CAT", "Turb", "CAT FCST", 7, "GTR", "CAT FCST", 500, false, false},
        {9, "WINDS", "Winds", "Winds FCST", 5, "WDS", "Winds FCST", 3450, false, false},
        {10, "EUROPE", "Europe", "Radar EUR", 0, "RDR", "Radar", 3900, true, false},
        {11, "AUSTRALIA", "Australia", "Radar AUS", 0, "RDR", "Radar", 1800, true, false},
        {12, "ICING", "Icing", "Icing FCST", 8, "GIC", "Icing FCST", 350, false, false},
        {13, "PIREPS", "PIREPS", "PIREP", 9, "PRP", "PIREP", 500, true, true},
    };
    ASSERT_EQ(tvk::wxProductCount, 14);
    for (int n = 0; n < tvk::wxProductCount; ++n) {
        const Row& want = rows[n];
        const tvk::WxProductInfo& row = tvk::wxProductTable[n];
        SCOPED_TRACE(want.name);
        EXPECT_EQ(row.id, want.id);
        EXPECT_EQ(std::string(row.name), want.name);
        EXPECT_EQ(std::string(row.altName), want.altName);
        EXPECT_EQ(std::string(row.label), want.label);
        EXPECT_EQ(row.categoryId, want.categoryId);
        EXPECT_EQ(std::string(row.categoryCode), want.categoryCode);
        EXPECT_EQ(std::string(row.categoryName), want.categoryName);
        EXPECT_EQ(row.value, want.value);
        EXPECT_EQ(row.flagA, want.flagA);
        EXPECT_EQ(row.flagB, want.flagB);
        EXPECT_EQ(tvk::wxProductIdByName(want.name), want.id);
        EXPECT_EQ(tvk::wxProductNameById(want.id), want.name);
    }
    EXPECT_EQ(std::string(tvk::tileListA), "21-11,22-10,22-11,23-10,23-11,");
    EXPECT_EQ(std::string(tvk::tileListB), "26-5,26-6,");
    EXPECT_EQ(std::string(tvk::tileListC),
              "24-0,24-1,24-2,24-3,24-4,25-0,25-1,25-2,25-3,25-4,26-0,26-1,26-2,26-3,26-4,27-0,27-1,");
}
