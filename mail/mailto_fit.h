#pragma once

#include <cstddef>
#include <string>

// Fitting a mailto: URL into what the desktop can hand its mail client. No
// logging here: the Simple MAPI provider shares this without the logger.

// One escaped field, and how many characters were left out to fit.
struct FittedField {
    std::string escaped;
    std::size_t charactersLeftOut = 0;
};

// The escaped text when it fits in maxLength bytes. Otherwise the longest
// start of the text that fits together with a last line saying how many
// characters were left out. The cut falls between whole characters (a UTF-8
// sequence, a CR LF pair), so never inside an escape, and never inside the
// first keepBytes bytes, which are kept even when they alone do not fit.
FittedField fitMailtoBody(const std::string& text, std::size_t keepBytes, std::size_t maxLength);

// The same for the subject, a single line: the note ends that line.
FittedField fitMailtoSubject(const std::string& text, std::size_t maxLength);

// A whole "mailto:TO?subject=S&body=B" URL.
struct FittedMailtoUrl {
    std::string url;
    std::size_t subjectCharactersLeftOut = 0;
    std::size_t bodyCharactersLeftOut = 0;
};

// The URL within maxLength bytes where it can be: the body is cut first (never
// its first keepBodyBytes), the subject only when it alone leaves no room for
// them, the recipient never. Only a recipient or kept start that alone passes
// maxLength makes the URL longer than that.
FittedMailtoUrl fitMailtoUrl(const std::string& to, const std::string& subject, const std::string& body,
                             std::size_t keepBodyBytes, std::size_t maxLength);

// The notes that end a shortened field, before escaping.
std::string shortenedBodyNote(std::size_t charactersLeftOut);
std::string shortenedSubjectNote(std::size_t charactersLeftOut);
