// A library named like a Simple MAPI provider that lacks its entry point.

#include "platform/abi.h"

PELLICOR_EXPORT int NotMAPISendMail()
{
    return 0;
}
