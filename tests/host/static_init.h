#pragma once

#include <string>
#include <vector>

// What static_init.cpp saw before main.
struct HostStaticInit {
    bool logged = false;
    std::vector<std::string> products;  // the names of the products read
};

extern const HostStaticInit hostStaticInit;
