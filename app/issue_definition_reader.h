#pragma once

#include <string>

#include <libxml/tree.h>

#include "mail/report_request.h"
#include "platform/scoped_handle.h"

// Reads the issue-definition file a host writes for a report:
//   <IssueReport><MailAddress/><Subject/><Body/><AttachZip/></IssueReport>
// The file is only ever read.
class IssueDefinitionReader {
public:
    IssueDefinitionReader() = default;
    ~IssueDefinitionReader();
    IssueDefinitionReader(const IssueDefinitionReader&) = delete;
    IssueDefinitionReader& operator=(const IssueDefinitionReader&) = delete;

    // Fills request from the file at path; throws LoggedException when the
    // file cannot be parsed or lacks the recipient or the subject.
    void read(const std::string& path, ReportRequest& request);

    // Parses the file and returns its "IssueReport" root element.
    xmlNodePtr loadRoot(const std::string& path);

private:
    platform::ScopedPointer<xmlDoc, &xmlFreeDoc> document;
};
