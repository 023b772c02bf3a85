#include "mail/mailto_fit.h"

#include <algorithm>

#include "mail/mailto_field.h"
#include "text/utf8.h"

namespace {

// Bytes of the character that starts at text[at]: a CR LF pair, or a UTF-8
// lead byte with its continuation bytes. A byte that starts no valid
// sequence stands alone.
std::size_t characterLength(const std::string& text, std::size_t at)
{
    if (text[at] == '\r')
        return at + 1 < text.size() && text[at + 1] == '\n' ? 2 : 1;
    return text::announcedLength(text, at);
}

std::size_t countCharacters(const std::string& text)
{
    std::size_t count = 0;
    for (std::size_t at = 0; at < text.size(); at += characterLength(text, at))
        ++count;
    return count;
}

std::size_t saturatingSubtract(std::size_t from, std::size_t amount)
{
    return from > amount ? from - amount : 0;
}

FittedField fit(const std::string& text, std::size_t keepBytes, std::size_t maxLength,
                std::string (*note)(std::size_t))
{
    FittedField result{escapeMailtoUrl(text), 0};
    if (result.escaped.size() <= maxLength)
        return result;
    // Room for the note as long as it can get: fewer characters left out
    // only shorten it.
    const std::size_t total = countCharacters(text);
    const std::size_t budget = saturatingSubtract(maxLength, escapeMailtoUrl(note(total)).size());
    std::size_t cut = 0;
    std::size_t used = 0;
    std::size_t kept = 0;
    while (cut < text.size()) {
        const std::size_t length = characterLength(text, cut);
        const std::size_t escaped = escapeMailtoUrl(text.substr(cut, length)).size();
        if (cut >= keepBytes && used + escaped > budget)
            break;
        used += escaped;
        cut += length;
        ++kept;
    }
    if (cut == text.size())
        return result;  // all of it is the start that must stay
    result.charactersLeftOut = total - kept;
    // Escaped apart, so a kept lone CR and the note's own line break stay two breaks.
    result.escaped = escapeMailtoUrl(text.substr(0, cut)) + escapeMailtoUrl(note(result.charactersLeftOut));
    return result;
}

} // namespace

std::string shortenedBodyNote(std::size_t charactersLeftOut)
{
    return "\n[Text shortened to fit a mailto: link; characters left out: " + std::to_string(charactersLeftOut)
           + "]";
}

std::string shortenedSubjectNote(std::size_t charactersLeftOut)
{
    return " [shortened; characters left out: " + std::to_string(charactersLeftOut) + "]";
}

FittedField fitMailtoBody(const std::string& text, std::size_t keepBytes, std::size_t maxLength)
{
    return fit(text, keepBytes, maxLength, shortenedBodyNote);
}

FittedField fitMailtoSubject(const std::string& text, std::size_t maxLength)
{
    return fit(text, 0, maxLength, shortenedSubjectNote);
}

FittedMailtoUrl fitMailtoUrl(const std::string& to, const std::string& subject, const std::string& body,
                             std::size_t keepBodyBytes, std::size_t maxLength)
{
    const std::string head = "mailto:" + escapeMailtoUrl(to) + "?subject=";
    const std::string bodyKey = "&body=";
    const std::size_t fixed = head.size() + bodyKey.size();
    // The least the body can shrink to: its kept start and the note, or all
    // of it where that is shorter.
    const std::size_t bodyFloor =
        std::min(escapeMailtoUrl(body).size(), fitMailtoBody(body, keepBodyBytes, 0).escaped.size());
    const FittedField fittedSubject = fitMailtoSubject(subject, saturatingSubtract(maxLength, fixed + bodyFloor));
    const FittedField fittedBody =
        fitMailtoBody(body, keepBodyBytes, saturatingSubtract(maxLength, fixed + fittedSubject.escaped.size()));
    return FittedMailtoUrl{head + fittedSubject.escaped + bodyKey + fittedBody.escaped,
                           fittedSubject.charactersLeftOut, fittedBody.charactersLeftOut};
}
