#include <exception>

#include "app/run.h"

int main(int argc, char* argv[])
{
    try {
        return run(argc, argv);
    } catch (const std::exception& error) {
        logError(error);
        return -1;
    }
}
