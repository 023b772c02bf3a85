#pragma once

/// \file
/// The configuration library a host product shares with Pellicor
/// (`Pellicor::config`): the settings store and the product configuration.

#include "pellicor/config_store.h"
#include "pellicor/product_config.h"
