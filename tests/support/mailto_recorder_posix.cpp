#include "tests/support/mailto_recorder.h"

namespace testing_support {

std::string MailtoRecorder::unavailable()
{
    return {};
}

MailtoRecorder::MailtoRecorder(ProgramSandbox& sandbox) : record_(sandbox.workFile("mailto-url.txt"))
{
    // A real program start, so the system's limit on one argument applies; and the
    // URL handed on inside a longer argument, as xdg-email does to Thunderbird.
    sandbox.addStandIn("xdg-open", "#!/bin/sh\nexec /bin/sh -c 'printf %s \"${1#-compose }\" > \"$2\"' sh "
                                   "\"-compose $1\" \"" + record_ + "\"\n");
}

std::string MailtoRecorder::url() const
{
    // The opener has ended when the run has.
    return fileExists(record_) ? readFile(record_) : std::string();
}

} // namespace testing_support
