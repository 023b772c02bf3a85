#include "platform/program_entry.h"

#include <exception>

#include "app/run.h"

int programMain(int argc, char* argv[])
{
    try {
        return run(argc, argv);
    } catch (const std::exception& error) {
        logError(error);
        return -1;
    }
}
