#include "pellicor/product_config.h"

namespace tvk {

// constexpr: the table is in place before any static initialiser of a host runs.
constexpr WxProductInfo wxProductTable[wxProductCount] = {
    {6, "GCV", "Cb Tops FCST", 0, "CONV", "Convection", "Cb Tops FCST", 200, false, false},
    {4, "AWX", "Airport Wx", 1, "DATIS", "DATISTi", "DATIS", 650, true, true},
    {0, "RDR", "Radar", 2, "NEXRAD", "MetRadar", "Radar US", 1150, true, false},
    {4, "AWX", "Airport Wx", 3, "METARS", "Metarsi", "METAR", 2750, true, true},
    {2, "LTG", "Lightning", 4, "LIGHTNING", "Lightning", "Lightning", 1000, true, false},
    {1, "SAT", "Satellite", 5, "SAT", "Satellite07", "Satellite", 1000, true, false},
    {3, "SIGMETS", "SIGMET", 6, "SIGMETS", "Sigmetsi", "SIGMET", 350, false, true},
    {4, "AWX", "Airport Wx", 7, "TAFS", "Tafsi", "TAF", 650, true, true},
    {7, "GTR", "CAT FCST", 8, "CAT", "Turb", "CAT FCST", 500, false, false},
    {5, "WDS", "Winds FCST", 9, "WINDS", "Winds", "Winds FCST", 3450, false, false},
    {0, "RDR", "Radar", 10, "EUROPE", "Europe", "Radar EUR", 3900, true, false},
    {0, "RDR", "Radar", 11, "AUSTRALIA", "Australia", "Radar AUS", 1800, true, false},
    {8, "GIC", "Icing FCST", 12, "ICING", "Icing", "Icing FCST", 350, false, false},
    {9, "PRP", "PIREP", 13, "PIREPS", "PIREPS", "PIREP", 500, true, true},
};

int wxProductIdByName(const std::string& name)
{
    for (const WxProductInfo& product : wxProductTable) {
        if (product.name == name)
            return product.id;
    }
    return wxProductCount;
}

const std::string& wxProductNameById(int id)
{
    // Made on the first call, whenever that is, and never destroyed: callers
    // may keep the reference past every static destructor.
    static const std::string* const names = [] {
        auto* made = new std::string[wxProductCount + 1];
        for (int row = 0; row < wxProductCount; ++row)
            made[row] = std::string(wxProductTable[row].name);
        return made;
    }();
    for (int row = 0; row < wxProductCount; ++row) {
        if (wxProductTable[row].id == id)
            return names[row];
    }
    return names[wxProductCount];
}

} // namespace tvk
