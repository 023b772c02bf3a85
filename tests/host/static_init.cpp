// A host's translation unit that uses both singletons from its own static
// initialisers. It includes neither <iostream> nor GoogleTest (which would
// make the standard streams here first): what it sees is kept for
// host_test.cpp to check.
#include <string>
#include <vector>

#include "pellicor/config.h"
#include "pellicor/logging.h"
#include "tests/host/static_init.h"

namespace {

HostStaticInit look()
{
    HostStaticInit seen;
    Logger* logger = Logger::getInstance();
    if (logger->isEnabled(Logger::MODULE_MAIN, Logger::levelInfo))
        logger->log("host logs before main\n", Logger::MODULE_MAIN, Logger::levelInfo);
    seen.logged = true;

    std::vector<tvk::WxProductSettings> products;
    tvk::ORVAXMLConfigManager::getInstance()->getWxProducts(products);
    for (const tvk::WxProductSettings& product : products)
        seen.products.push_back(tvk::wxProductNameById(product.id));
    return seen;
}

} // namespace

const HostStaticInit hostStaticInit = look();
