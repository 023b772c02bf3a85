#pragma once

#include <string>

// The one mail a run sends. The strings carry bytes as they came (XML text
// as UTF-8); an empty attachZip means no attachment.
struct ReportRequest {
    std::string mailAddress;
    std::string subject;
    std::string body;
    std::string attachZip;
};
