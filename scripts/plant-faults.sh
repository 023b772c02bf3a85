#!/usr/bin/env bash
# Plants faults one at a time in a scratch copy of this tree and tells which
# test catches each: first the test named in the table, then, when that one
# passes, the whole suite. The tree itself is never touched.
#
#   scripts/plant-faults.sh            every fault
#   scripts/plant-faults.sh L3 C1      only these
#   scripts/plant-faults.sh --list     the table
#
# PLANT_DIR (default /tmp/pellicor-plants) holds the copy and its build;
# PLANT_JOBS (default 2) is passed to the build, PLANT_TEST_JOBS (default 6)
# to ctest, whose slowest tests mostly wait. PLANT_COPY=0 plants in the copy
# as it is, to measure an older tree put there before.
set -uo pipefail
cd "$(dirname "$0")/.."
source_tree=$PWD
scratch=${PLANT_DIR:-/tmp/pellicor-plants}/src
jobs=${PLANT_JOBS:-2}
test_jobs=${PLANT_TEST_JOBS:-6}

# id | file (or files, by a comma: the first the expression changes) |
#      sed expression | test expected to fail (ctest -R pattern) | what breaks
faults=(
"L1|logging/logger_file_writer.cpp|s/\"%d-%m-%Y %H:%M:%S\"/\"%m-%d-%Y %H:%M:%S\"/|LoggerFileWriterTest.WritesDateTagPrefixAndMessage|file line: day and month swapped"
"L2|logging/logger.cpp|s/\"%d-%m-%Y %H:%M:%S\"/\"%m-%d-%Y %H:%M:%S\"/|LoggerFormat.TimeStampsHaveTheirFixedShapes|dateTimeStamp: day and month swapped"
"L3|logging/logger.cpp|s/\"%H:%M:%S\"/\"%M:%H:%S\"/|LoggerFormat.TimeStampsHaveTheirFixedShapes|timeStamp: hour and minute swapped"
"L4|logging/logger.cpp|s/\"ALERERT\"/\"ALERT\"/|LoggerFormat.PrefixCarriesModuleAndLevelName|level 1 spelt ALERT"
"L5|logging/logger.cpp|s/\"VER2\"/\"VER 2\"/|LoggerFormat.PrefixCarriesModuleAndLevelName|level 9 misspelt"
"L6|logging/logger.cpp|s/\"NOTI\"/\"NOTE\"/|LoggerFormat.PrefixCarriesModuleAndLevelName|level 5 misspelt"
"L7|logging/logger_file_writer.cpp|0,/line += ' ';/s//line += '\\\\t';/|LoggerFileWriterTest.WritesDateTagPrefixAndMessage|file line: tab after the date"
"L8|logging/logger.cpp|s/out << Logger::timeStamp() << ' '/out << Logger::timeStamp()/|LoggerWriters.ConsoleServesOnlyUntilTheFirstWriter|console line: blank after the time dropped"
"L9|logging/logger.cpp|s/\"%H:%M:%S\"/\"%H:%M\"/|LoggerWriters.ConsoleServesOnlyUntilTheFirstWriter|console line: seconds dropped"
"L10|logging/logger_file_writer.cpp|s/position > maxFileSize/position >= maxFileSize/|LoggerFileWriterTest.StartsAfreshOnlyOncePastTenMebibytes|rollover one byte early"
"L11|logging/logger_file_writer.cpp|s/position += platform::storedTextSize(line);/position += 0;/|LoggerFileWriterTest.StartsAfreshOnlyOncePastTenMebibytes|file never rolls over (a 10 MiB line to check)"
"L12|logging/logger.cpp|s/\"Exception: \"/\"Exception:\"/|LoggedExceptionTest.LogsItsMessageOnceWhenMade|LoggedException text"
"C1|config/xml_config_manager.cpp|s/value ? \"Yes\" : \"No\"/value ? \"yes\" : \"no\"/|ConfigStore.ConvertsEveryTypeBothWaysByteForByte|setBool writes yes/no"
"C2|config/xml_config_manager.cpp|s/text != \"Yes\" && text != \"No\"/text != \"Yes\" \&\& text != \"No\" \&\& text != \"yes\"/|ConfigStore.ConvertsEveryTypeBothWaysByteForByte|getBool also takes yes"
"C3|config/xml_config_manager.cpp|s/return writeValue(key, value, section, Check);/return writeValue(key, value, section, Write);/|ProductConfig.DefaultsNeverOverwriteAValue|setDefaultString overwrites"
"C4|config/xml_text.cpp|s/std::strtol(text.c_str(), nullptr, 10)/std::strtol(text.c_str(), nullptr, 0)/|ConfigStore.ConvertsEveryTypeBothWaysByteForByte|integers read with base 0 (\"010\" is 8)"
"C5|config/xml_text.cpp|s/out.imbue(std::locale::classic());/out.imbue(std::locale::classic()); out.precision(10);/|ConfigStore.ConvertsEveryTypeBothWaysByteForByte|decimals with ten significant digits"
"C6|config/xml_config_manager.cpp|s/\"Save config file: \"/\"Saving config file: \"/|ProductConfig.LogsItsLifeInItsOwnWords|save's log text"
"C7|config/xml_config_manager.cpp|s/\"~XMLConfigManager: Destroy config manager (file: \"/\"~XMLConfigManager: Destroy config manager (file:\"/|ProductConfig.LogsItsLifeInItsOwnWords|destructor's log text"
"C8|config/xml_config_manager.cpp|s/\"XMLConfigManager: init config file: \"/\"XMLConfigManager: init config: \"/|ProductConfig.LogsItsLifeInItsOwnWords|constructor's log text"
"C9|config/xml_config_manager.cpp|s/\"XMLConfigManager: create new config (file: \"/\"XMLConfigManager: create new config(file: \"/|ProductConfig.LogsItsLifeInItsOwnWords|new-document log text"
"C10|config/orva_xml_config_manager.cpp|s/\"~ORVAXMLConfigManager/\"~ORVAXMLConfigManager /|ProductConfig.LogsItsLifeInItsOwnWords|product configuration's destructor text"
"C11|config/xml_config_manager.cpp|s/    return parsed;/    return parsed or true;/|ConfigStore.KeepsAnUnusableFileBesideTheOneItWrites|store's reload() always true"
"C12|config/orva_xml_config_manager.cpp|s/    return parsed;/    return !parsed;/|ProductConfig.CompletesAMissingFileInMemoryOnly|product reload() result inverted"
"C13|config/orva_xml_config_manager.cpp|s/\"FetchIntervalSecs\", \"600\"/\"FetchIntervalSecs\", \"60\"/|ProductConfig.CompletesAMissingFileInMemoryOnly|default FetchIntervalSecs"
"C14|config/orva_xml_config_manager.cpp|s/\"AutoUpdate\", \"No\"/\"AutoUpdate\", \"Yes\"/|ProductConfig.CompletesAMissingFileInMemoryOnly|default AutoUpdate"
"C15|config/orva_xml_config_manager.cpp|s/store->setDefaultString(\"UserCanSelect\"/store->setString(\"UserCanSelect\"/|ProductConfig.DefaultsNeverOverwriteAValue|one default written over the file's value"
"C16|config/include/pellicor/config.h,config/include/pellicor/product_config.h|s/{5, true, -180, 10, 30, 0}/{5, true, -180, 10, 15, 0}/|ProductConfig.WritesEveryDefaultIntoAProductItCannotRead|SAT's default SampleValidity"
"C17|config/include/pellicor/config.h,config/include/pellicor/product_config.h|s/{12, true, 0, 180, 0, 0},     {13, true, 0, 5, 0, 0},/{13, true, 0, 5, 0, 0},     {12, true, 0, 180, 0, 0},/|ProductConfig.CompletesAMissingFileInMemoryOnly|default product order"
"C18|config/orva_xml_config_manager.cpp|s/write(\"MinToDownload\", formatInt(match->minToDownload));//|ProductConfig.SetWxProductsUpdatesMatchingElementsAndAppendsTheRest|setWxProducts drops a column"
"C19|config/orva_xml_config_manager.cpp|s/if (!found)/if (!found or product.id == 3)/|ProductConfig.DefaultsNeverOverwriteAValue|a present product gets its default again"
"C20|config/xml_text.cpp|s/return std::strtod(text.c_str(), nullptr);/return std::atoi(text.c_str());/|ConfigStore.ConvertsEveryTypeBothWaysByteForByte|decimals read as integers"
"P1|config/wx_products.cpp|s/\"ICING\", \"Icing\"/\"ICNG\", \"Icing\"/|WxProductTable.HoldsEveryRowAndColumnAsGiven|product name misspelt"
"P2|config/wx_products.cpp|s/\"Satellite07\"/\"Satellite7\"/|WxProductTable.HoldsEveryRowAndColumnAsGiven|altName"
"P3|config/wx_products.cpp|s/\"SIGMET\", 350, false, true/\"SIGMET\", 350, true, true/|WxProductTable.HoldsEveryRowAndColumnAsGiven|flagA"
"P4|config/wx_products.cpp|s/3450, false, false/3540, false, false/|WxProductTable.HoldsEveryRowAndColumnAsGiven|value"
"P5|config/wx_products.cpp|s/{7, \"GTR\"/{7, \"GRT\"/|WxProductTable.HoldsEveryRowAndColumnAsGiven|categoryCode"
"P6|config/wx_products.cpp|s/\"Radar AUS\"/\"Radar AU\"/|WxProductTable.HoldsEveryRowAndColumnAsGiven|label"
"P7|config/wx_products.cpp,config/include/pellicor/config.h,config/include/pellicor/product_config.h|s/25-3,25-4,26-0/25-3,26-0/|WxProductTable.HoldsEveryRowAndColumnAsGiven|tile list C loses an entry"
"P8|config/wx_products.cpp,config/include/pellicor/config.h,config/include/pellicor/product_config.h|s/\"26-5,26-6,\"/\"26-5,26-6\"/|WxProductTable.HoldsEveryRowAndColumnAsGiven|tile list B loses its last comma"
"P9|config/wx_products.cpp|s/{9, \"PRP\", \"PIREP\", 13/{8, \"PRP\", \"PIREP\", 13/|WxProductTable.HoldsEveryRowAndColumnAsGiven|categoryId"
"P10|config/wx_products.cpp|s/return wxProductCount;/return -1;/|WxProductTable.TranslatesOnlyExactNamesAndKnownIds|unknown name not 14"
"A1|app/crash_report.cpp|s/Issue Report from user with license /Issue Report from user with licence /|RunCrashTest|crash subject text"
"A2|app/crash_report.cpp|s/, option 6/, option 5/|RunCrashTest|crash body text"
"A3|app/run.cpp|s/\"Pellicor finished.\\\\n\"/\"Pellicor finished\\\\n\"/|RunTest|last log line"
"A4|app/run.cpp|s/\"MAPI error report failed. Trying mailto.\\\\n\"/\"MAPI error report failed, trying mailto.\\\\n\"/|RunMailtoTest|fallback log text"
"A5|app/issue_definition_reader.cpp|s/\"Failed to parse issue confix XML\"/\"Failed to parse issue config XML\"/|IssueDefinitionReaderTest|odd spelling kept"
"D1|delivery/mailto.cpp|s/\"Please, attach the file \"/\"Please attach the file \"/|MailtoUrl|mailto attach line"
"D2|delivery/mailto_field.cpp,mail/mailto_field.cpp|s/case '-': case '.': case '_': case '~':/case '-': case '_': case '~':/|MailtoUrl|a dot escaped"
"D3|delivery/report_archive.cpp,archive/report_archive.cpp|s/{\"-0.\", \"-1.\", \"-2.\", \"-prev.0.\", \"-prev.1.\", \"-prev.2.\"}/{\"-0.\", \"-1.\", \"-2.\", \"-prev.0.\", \"-prev.2.\", \"-prev.1.\"}/|ReportArchiveTest|archive order"
"D4|delivery/report_archive.cpp,archive/report_archive.cpp|s/\" not found, not adding to \"/\" not found, not added to \"/|ReportArchiveTest|archive log text"
"D5|delivery/mapi_mailer.cpp|s/\"MAPI report user abort\\\\n\"/\"MAPI report user aborted\\\\n\"/|MapiMailerTest|MAPI outcome text"
"D6|delivery/mailto_field.cpp,mail/mailto_field.cpp|s/case '-': case '.': case '_': case '~':/case '-': case '.': case '_': case '~': case ',':/|XdgMapiProvider|comma in a field not escaped for xdg-email"
"D7|delivery/mapi_mailer.cpp|s/smtpAddress = \"SMTP:\" + address;/smtpAddress = address;/|MapiMailerTest|recipient without SMTP:"
"D8|delivery/report_archive.cpp,archive/report_archive.cpp|s/if (name == currentMinidumpName)/if (name == previousMinidumpName)/|ReportArchiveTest.KeepsTheMostImportantFilesThatFitWithinTheLimit|mail size limit: the previous minidump first"
"D9|delivery/report_archive.cpp,archive/report_archive.cpp|s/if (total + bytes <= limit)/if (total + bytes < limit)/|ReportArchiveTest.KeepsTheMostImportantFilesThatFitWithinTheLimit|mail size limit: an entry exactly at it left out"
"D10|delivery/report_archive.cpp,archive/report_archive.cpp|s/\" left out of \"/\" left out from \"/|ReportArchiveTest.KeepsTheMostImportantFilesThatFitWithinTheLimit|left-out warning text"
"D11|delivery/report_archive.cpp,archive/report_archive.cpp|s/            dropped.push_back(name);/            dropped.push_back(name); total = limit;/|ReportArchiveTest.KeepsTheMostImportantFilesThatFitWithinTheLimit|a small log dropped after a dump that cannot go"
"D12|delivery/archive_limit.cpp,archive/archive_limit.cpp|s/megabytes <= largestArchiveLimitMegabytes/megabytes <= largestArchiveLimitMegabytes + 1/|ReportArchiveTest.TakesItsLimitInWholeMegabytesFromTheEnvironment|PELLICOR_ARCHIVE_LIMIT_MB takes 100001"
"A6|app/crash_report.cpp|s/the size that most mail services accept/the size most mail services accept/|RunCrashTest.SaysInTheMailWhatItLeftOutToStayWithinTheLimit|left-out note text"
"A7|app/crash_report.cpp|s#(file.size + megabyte / 20)#(file.size)#|RunCrashTest.SaysInTheMailWhatItLeftOutToStayWithinTheLimit|left-out sizes cut, not rounded"
"A8|app/run.cpp|s/size <= limit)/size <= limit + 1)/|StartPellicor.StartsTheProgramOnTheIssueFileWithoutWaitingForIt|report mode: no warning one byte above the limit"
"F1|platform/files_posix.cpp|s/std::fopen(path.c_str(), \"w\")/std::fopen(path.c_str(), \"a\")/|LoggerFileWriterTest.EmptiesAnExistingFileBeforeTheFirstLine|log file not emptied"
"F2|platform/atomic_file_posix.cpp|0,/        ::unlink(temporary.c_str());/s///|ConfigFaults.ASaveOntoAFullDiskLeavesTheOldFileAsItWas|a failed save leaves its temporary file"
"F3|platform/atomic_file_posix.cpp|s/::fchmod(file.get(), old.st_mode & 07777);/(void)old;/|ConfigFaults.ASaveOntoAFullDiskLeavesTheOldFileAsItWas|a save loses the file's permissions"
"X1|mapi_provider/desktop_entry.cpp|s/case 's': out += ' '; break;/case 's': out += 's'; break;/|DesktopEntry.SplitsExecLinesAsDesktopFilesQuoteThem|Exec value: the \s escape not read as a blank"
"X2|mapi_provider/desktop_entry.cpp|s/\"\`\$\\\\\\\\/\"\`\\\\\\\\/|DesktopEntry.SplitsExecLinesAsDesktopFilesQuoteThem|Exec line: a backslash before \$ inside quotes kept"
"X3|mapi_provider/desktop_entry.cpp|s/ && line\[i\] != '\\\\t')/)/|DesktopEntry.SplitsExecLinesAsDesktopFilesQuoteThem|Exec line: a tab does not end an argument"
"X4|mapi_provider/desktop_entry.cpp|/if (i == line.size())\$/{n;s/return std::nullopt;/break;/}|DesktopEntry.SplitsExecLinesAsDesktopFilesQuoteThem|Exec line: a quote left open taken as closed"
"X5|mapi_provider/desktop_entry.cpp|s/else if (key == \"Hidden\")/else if (key == \"Hidden\" or key == \"NoDisplay\")/|DesktopEntry.ReadsTheMainGroupOnlyAndFindsFilesUnderTheirIds|NoDisplay=true taken for Hidden: the handler the user picked refused"
"X6|mapi_provider/desktop_entry.cpp|s/inEntry = line == /inEntry = inEntry or line == /|DesktopEntry.ReadsTheMainGroupOnlyAndFindsFilesUnderTheirIds|Exec read from an action's group too"
"X7|mapi_provider/desktop_entry.cpp|s/dirs.insert(dirs.end(), system.begin()/dirs.insert(dirs.begin(), system.begin()/|DesktopEntry.ReadsTheMainGroupOnlyAndFindsFilesUnderTheirIds|the system's desktop file found before the user's own"
"X8|mapi_provider/mail_client.cpp|s/\"eu.betterbird.Betterbird\"/\"eu.betterbird.betterbird\"/|MailClient.KnowsTheClientsThatTakeAnAttachmentByProgramFlatpakOrSnap|Betterbird's Flatpak id misspelt"
"X9|mapi_provider/mail_client.cpp|s/const std::size_t app = firstOperand(args, program + 2);/const std::size_t app = program + 2;/|MailClient.KnowsTheClientsThatTakeAnAttachmentByProgramFlatpakOrSnap|flatpak run's options taken for the application id"
"X10|mapi_provider/mail_client.cpp|s/baseName(args\[0\]) == \"env\"/args[0] == \"env\"/|MailClient.KnowsTheClientsThatTakeAnAttachmentByProgramFlatpakOrSnap|/usr/bin/env not seen through"
"X11|mapi_provider/mail_client.cpp|s/.substr(0, baseName(args\[app\]).find('.'))//|MailClient.KnowsTheClientsThatTakeAnAttachmentByProgramFlatpakOrSnap|/snap/bin/name.app not read as the snap name"
"X12|mapi_provider/mail_client.cpp|s/{\"icedove\", MailClientKind::Thunderbird},//|XdgMapiProvider.HandsEachKnownClientTheMailAndTheArchiveInTheFormItTakes|Icedove not known for Thunderbird"
"X13|mapi_provider/xdg_mapi_provider.cpp|s/out += \"%27\";/out += c;/|XdgMapiProvider.KeepsTrickySubjectsAndBodiesIntact|a quote left raw in Thunderbird's -compose list"
"X14|mapi_provider/xdg_mapi_provider.cpp|s/std::tolower(static_cast<unsigned char>(address\[i\]))/address[i]/|XdgMapiProvider.HandsEachKnownClientTheMailAndTheArchiveInTheFormItTakes|SMTP: in capitals not taken off the address"
"X15|mapi_provider/xdg_mapi_provider.cpp|s/return address.empty() ? text(recipient.lpszName) : address;/return address;/|XdgMapiProvider.PutsEveryRecipientWhereNoneCanPassForAnOption|a recipient given only by name lost"
"X16|mapi_provider/xdg_mapi_provider.cpp|s/if (i + 1 < body.size() && body\[i + 1\] == '\\\\n')/if (false)/|XdgMapiProvider.KeepsTrickySubjectsAndBodiesIntact|a CR LF in the body file written as two line breaks"
"X17|mapi_provider/xdg_mapi_provider.cpp|/case platform::ProcessOutcome::StillRunning:/,/return SUCCESS_SUCCESS;/s/outbox.keep();//|XdgMapiProvider.AClientStillRunningAfterTheWaitHasTheMail|a client still running loses its attachment"
"X18|mapi_provider/xdg_mapi_provider.cpp|s/if (outcome.exitCode != 0 /if (outcome.exitCode < 0 /|XdgMapiProvider.FailsWhenTheClientFailsOrIsMissingAndTakesBackItsFiles|a client's failure status taken as success"
"X19|mapi_provider/xdg_mapi_provider.cpp|s/mailtoUri(message, {}, /mailtoUri(message, files, /|XdgMapiProvider.HandsEachKnownClientTheMailAndTheArchiveInTheFormItTakes|Claws Mail handed the archive twice"
"X20|mapi_provider/xdg_mapi_provider.cpp|s/attempt < 8/attempt < 1/|XdgMapiProvider.HandsALongBodyWholeToAClientThatReadsItFromAFile|a long body fitted once, its quotes' growth not made up for"
"X21|mapi_provider/xdg_mapi_provider.cpp|s/return \"file:\/\/\" + uriField(path);/return \"file:\/\/\" + path;/|XdgMapiProvider.AttachesEveryFileUnderItsDisplayNameOrElseItsOwn|an attachment's file URI not escaped"
"X22|mapi_provider/xdg_mapi_provider.cpp|s/if (!client.sandboxCache.empty())\$/if (false)/|XdgMapiProvider.HandsTheFilesThemselvesWhenItCannotPlaceThemUnlessTheClientIsSandboxed|a sandboxed client handed a file it cannot read"
"X23|mapi_provider/xdg_mapi_provider.cpp|s/args.push_back(\"--\");//|XdgMapiProvider.PutsEveryRecipientWhereNoneCanPassForAnOption|KMail's recipients without -- before them"
"M1|delivery/mailto_fit.cpp,mail/mailto_fit.cpp|s/return at + 1 < text.size() && text\[at + 1\] == '\\\\n' ? 2 : 1;/return 1;/|MailtoFit.CountsBrokenUtf8ByteByByteAndKeepsCrLfTogether|a CR LF split by the cut"
"M2|delivery/mailto_fit.cpp,mail/mailto_fit.cpp,text/utf8.cpp|s/lead >= 0xF0 ? 4/lead >= 0xF0 ? 3/|MailtoFit.BodyJustUnderTheLimitStaysWholeAndJustOverIsCutAtACharacterWithTheNote|a four-byte character split by the cut"
"M3|delivery/mailto_fit.cpp,mail/mailto_fit.cpp|s/if (result.escaped.size() <= maxLength)/if (result.escaped.size() < maxLength)/|MailtoUrl.SaysInOneWarningPerFieldWhatItShortened|a field exactly at the limit cut"
"M4|delivery/mailto_fit.cpp,mail/mailto_fit.cpp|s/if (cut >= keepBytes && used/if (cut + 1 >= keepBytes \&\& used/|MailtoFit.NeverCutsTheAskForTheArchive|the ask for the archive cut before its line end"
"M5|delivery/mailto_fit.cpp,mail/mailto_fit.cpp|s/escapeMailtoUrl(note(total)).size()/escapeMailtoUrl(note(0)).size()/|MailtoUrl.SaysInOneWarningPerFieldWhatItShortened|room for the note counted with one digit"
"M6|delivery/mailto_fit.cpp,mail/mailto_fit.cpp|s/saturatingSubtract(maxLength, fixed + fittedSubject.escaped.size())/saturatingSubtract(maxLength, fixed)/|MailtoFit.BodyJustUnderTheLimitStaysWholeAndJustOverIsCutAtACharacterWithTheNote|the body's room ignores the subject"
"M7|delivery/mailto_fit.cpp,mail/mailto_fit.cpp|s/std::min(escapeMailtoUrl(body).size()/std::max(escapeMailtoUrl(body).size()/|MailtoFit.CutsTheSubjectOnlyWhenItAloneOverrunsTheUrl|a long subject cut to leave the whole body room"
"M8|delivery/mailto.cpp|s/) > 32;/) >= 32;/|OpenMailto.HandsTheShellOneUrlAndReadsItsVerdict|the shell's error 32 taken as accepted"
"M9|delivery/mailto_field.cpp,mail/mailto_field.cpp|s/if (c == '\\\\r' && i + 1 < field.size()/if (false \&\& i + 1 < field.size()/|MailtoEscape.WritesEveryLineBreakAsCarriageReturnLineFeed|a CR LF written as two line breaks"
"R1|report/report.cpp|s/case '\\\\r': out += \"&#13;\"; break;//|IssueFile.ReadsBackThroughTheProgramsReaderFieldForField|a carriage return written raw, read back as a line feed"
"R2|report/report.cpp,text/utf8.cpp|s/(value >= 0xD800 \&\& value <= 0xDFFF)/(value >= 0xD800 \&\& value < 0xD800)/|Utf8Walker|a UTF-16 surrogate decoded as a character"
"R3|report/report.cpp,text/utf8.cpp|s/value > 0x10FFFF /value > 0x1FFFFF /|WideMapiMailerTest.ReplacesBrokenUtf8RatherThanDroppingTheMail|a code point past U+10FFFF decoded as a character"
"R4|report/report.cpp,text/utf8.cpp|s/0x80, 0x800, 0x10000/0x80, 0x80, 0x10000/|IssueFile.RefusesWhatPellicorCouldNotReadAndKeepsTheOldFile|an overlong three-byte sequence written"
"R9|text/utf8.cpp|s/lead < 0xC2 /lead < 0xC0 /|WideMapiMailerTest.ReplacesBrokenUtf8RatherThanDroppingTheMail|0xC0 and 0xC1 taken for leads: one replacement for two bad bytes"
"R5|report/report.cpp|s/std::to_string(start);/std::to_string(i);/|IssueFile.RefusesWhatPellicorCouldNotReadAndKeepsTheOldFile|the offset named is past the bad byte"
"R6|report/report.cpp|s/if (report.subject.empty()) {/if (false) {/|IssueFile.RefusesWhatPellicorCouldNotReadAndKeepsTheOldFile|an empty subject written"
"R7|report/include/pellicor/report.h|/std::string subject; /{h;d};/std::string body; /G|IssueFile.IsWrittenWithEveryCharacterEscapedThatXmlNeeds|IssueReport's subject and body swapped"
"R8|platform/process_posix.cpp|s/::posix_spawn(&pid, args\[0\], nullptr/::posix_spawnp(\&pid, args[0], nullptr/|StartPellicor.SaysWhyItCannotStartAProgram|startPellicor looks a bare name up in PATH"
"S1|platform/process_posix.cpp|s/return WEXITSTATUS(status);/return status;/|RunProcess.HandsEveryArgumentOverUnchanged|the raw wait status taken for the exit code"
"S2|platform/process_posix.cpp|s/return 128 + WTERMSIG(status);/return 0;/|XdgMapiProvider.FailsWhenTheClientFailsOrIsMissingAndTakesBackItsFiles|a client killed by a signal taken as a success"
"S3|platform/process_posix.cpp|s/ O_CREAT . O_APPEND;/ O_APPEND;/|XdgMapiProvider.HandsEachKnownClientTheMailAndTheArchiveInTheFormItTakes|a program's output file not created"
"S4|platform/process_posix.cpp|s/options.environment.empty() ? environ : env.data()/environ/|RunMailtoTest|the environment given ignored"
"S5|platform/process_posix.cpp|s/static_cast<std::size_t>(limit) - 1;/static_cast<std::size_t>(limit);/|XdgMapiProvider.HandsALongBodyWholeToAClientThatReadsItFromAFile|the longest argument one byte too long"
"S6|platform/shell_posix.cpp|s/handlerRoom = 4 \* 1024;/handlerRoom = 0;/|RunLongBodyTest|no room left for a handler that wraps the URL"
"S7|platform/shell_posix.cpp|s/return outcome.exitCode == 0 ? accepted : noAssociation;/return accepted;/|RunMailtoTest.FailsWhenNeitherRouteTakesTheMail|the opener's failure status taken as accepted"
"S8|platform/shell_posix.cpp|s/        return fileNotFound;/        return accepted;/|RunMailtoTest.FailsWhenNeitherRouteTakesTheMail|no opener on PATH taken as accepted"
"S9|platform/atomic_file_posix.cpp|s/::lstat(path.c_str(), &link)/::stat(path.c_str(), \&link)/|ConfigFaults.ASaveThroughASymbolicLinkKeepsTheLink|a save replaces a symbolic link by a file"
"S10|platform/files_posix.cpp|s/if (errno != ERANGE)/if (true)/|CurrentDirectory.HasNoLengthLimit|the current directory given up past 256 bytes"
"Z1|delivery/parallel_deflate.cpp,archive/parallel_deflate.cpp|s/if (!block.dictionary.empty() &&/if (false \&\&/|ParallelDeflate.GivesOneStreamOfTheInputTheSameOnAnyThreadCount|the preset dictionary skipped"
"Z2|delivery/parallel_deflate.cpp,archive/parallel_deflate.cpp|s/crc_ = static_cast<std::uint32_t>(crc32_combine(crc_, block.crc, static_cast<z_off_t>(block.input.size())));/crc_ = static_cast<std::uint32_t>(block.crc);/|ParallelDeflate.GivesOneStreamOfTheInputTheSameOnAnyThreadCount|the blocks' CRCs not combined"
"Z3|delivery/parallel_deflate.cpp,archive/parallel_deflate.cpp|s/static_cast<z_off_t>(block.input.size())));/static_cast<z_off_t>(inputBytes_)));/|ParallelDeflate.GivesOneStreamOfTheInputTheSameOnAnyThreadCount|CRCs combined with the length read so far"
"Z4|delivery/parallel_deflate.cpp,archive/parallel_deflate.cpp|s/if (count == 0) {/if (static_cast<std::size_t>(count) < blockBytes_ - got) {/|ParallelDeflate.GivesOneStreamOfTheInputTheSameOnAnyThreadCount|a short read taken for the input's end"
"Z5|delivery/parallel_deflate.cpp,archive/parallel_deflate.cpp|s/: Z_SYNC_FLUSH;/: Z_PARTIAL_FLUSH;/|ParallelDeflate.GivesOneStreamOfTheInputTheSameOnAnyThreadCount|blocks ended off a byte boundary"
"Z6|delivery/parallel_deflate.cpp,archive/parallel_deflate.cpp|s/count >= 1 && count <= maxArchiveThreads/count <= maxArchiveThreads/|ArchiveFaults.TheThreadCountIsCappedByItsVariable|PELLICOR_ARCHIVE_THREADS=0 accepted"
"Z7|delivery/parallel_deflate.cpp,archive/parallel_deflate.cpp|s/\"PELLICOR_ARCHIVE_THREADS\"/\"PELLICOR_ARCHIVE_THREAD\"/|ArchiveFaults.TheThreadCountIsCappedByItsVariable|the variable's name misspelt"
"Z8|delivery/parallel_deflate.h,archive/parallel_deflate.h|s/maxArchiveThreads = 32;/maxArchiveThreads = 64;/|ArchiveFaults.TheThreadCountIsCappedByItsVariable|the thread cap raised to 64"
"Z9|delivery/parallel_deflate.cpp,archive/parallel_deflate.cpp|s/inputBytes_ += block.input.size();/inputBytes_ = block.input.size();/|ParallelDeflate.GivesOneStreamOfTheInputTheSameOnAnyThreadCount|the entry's length only its last block's"
"Z10|delivery/deflating_source.cpp,archive/deflating_source.cpp|s/ZIP_STAT_SIZE . ZIP_STAT_CRC;/ZIP_STAT_SIZE;/|ReportArchiveTest.IsTheSameByteForByteOnAnyNumberOfThreads|the last stat without the CRC"
"Z11|delivery/deflating_source.cpp,archive/deflating_source.cpp|s/(ZIP_STAT_SIZE . ZIP_STAT_MTIME)/ZIP_STAT_SIZE/|ReportArchiveTest.IsTheSameByteForByteOnAnyNumberOfThreads|the file's time dropped"
"Z12|delivery/entry_compression.cpp,archive/entry_compression.cpp|s/storeAbove = 0.99;/storeAbove = 1.01;/|ReportArchiveTest.StoresWhatDoesNotShrinkAndStaysNearTheUsualSize|data that does not shrink deflated rather than stored"
"V1|platform/file_manager_posix.cpp|s/            uri += '%';/            if (byte == ' ') { uri += c; continue; }\n&/|RunRevealTest.ShowsTheArchiveSelectedOrElseItsFolder|a blank left raw in the archive's file: URI"
"V2|app/run.cpp|s/    if (mailer.send(request))/    if (mailer.send(request) ? (offerArchiveByHand(request, showArchive), true) : false)/|RunRevealTest.NeverWhenTheClientTookItOrThereIsNothingToShow|archive shown although MAPI took the mail"
"V3|app/run.cpp|s/std::string(wanted) == \"0\"/std::string(wanted) == \"off\"/|RunRevealTest.NeverWhenTheClientTookItOrThereIsNothingToShow|PELLICOR_REVEAL_ARCHIVE=0 ignored"
"V4|platform/file_manager_posix.cpp|s/    const std::string folder = file.parent_path().string();/    return FileShown::NotShown;\\n&/|RunRevealTest.ShowsTheArchiveSelectedOrElseItsFolder|no xdg-open on the folder when no file manager takes it"
"V5|app/run.cpp|s/^    offerArchiveByHand(request, showArchive);$/    if (opened)\\n        offerArchiveByHand(request, showArchive);/|RunRevealTest.ShowsItWhenNeitherRouteTakesTheMailAndInCrashMode|archive not shown when neither route takes the mail"
"V6|app/run.cpp|s/    if (!std::filesystem::is_regular_file(std::filesystem::u8path(request.attachZip), ec))/    if (false)/|RunRevealTest.NeverWhenTheClientTookItOrThereIsNothingToShow|an archive that is not there shown"
"K1|mapi_provider/xdg_mapi_provider.cpp|s/kind == MailClientKind::ClawsMail \&\& !body.empty()/kind == MailClientKind::Sylpheed \&\& !body.empty()/|XdgMapiProvider.HandsEachKnownClientTheMailAndTheArchiveInTheFormItTakes|Claws Mail's body back in the URL its running instance dies on, Sylpheed handed --insert"
"K3|mapi_provider/xdg_mapi_provider.cpp|s/    while (anyAlive()) {/    while (anyAlive() or true) {/|XdgMapiProvider.FailsWhenTheRunningInstanceHandedTheMailDiesOnIt|a running instance that dies on the mail taken for success"
"K4|mapi_provider/mail_client.cpp|s/{\"sylpheed\", MailClientKind::Sylpheed}/{\"sylpheed\", MailClientKind::ClawsMail}/|XdgMapiProvider.HandsEachKnownClientTheMailAndTheArchiveInTheFormItTakes|Sylpheed handed Claws Mail's --insert"
)

list_only=0
wanted=()
for arg in "$@"; do
    case $arg in
    --list) list_only=1 ;;
    *) wanted+=("$arg") ;;
    esac
done

selected=()
for row in "${faults[@]}"; do
    id=${row%%|*}
    if [ ${#wanted[@]} -eq 0 ] || printf '%s\n' "${wanted[@]}" | grep -qx "$id"; then
        selected+=("$row")
    fi
done

if [ $list_only -eq 1 ]; then
    for row in "${selected[@]}"; do
        IFS='|' read -r id file expr test what <<<"$row"
        printf '%-4s %-40s %s\n' "$id" "$file" "$what"
    done
    exit 0
fi

# The copy: tracked and new files as they are now. Only files whose bytes
# differ are copied, with a new time, so that the build redoes what changed
# and nothing else.
mkdir -p "$scratch"
if [ "${PLANT_COPY:-1}" != 0 ]; then
    stage=$scratch.stage
    rm -rf "$stage"
    mkdir -p "$stage"
    git ls-files -co --exclude-standard -z | tar --null -T - -cf - | tar -xf - -C "$stage"
    (cd "$stage" && find . -type f) | while read -r file; do
        if ! cmp -s "$stage/$file" "$scratch/$file"; then
            mkdir -p "$(dirname "$scratch/$file")"
            cp "$stage/$file" "$scratch/$file"
        fi
    done
    rm -rf "$stage"
fi
cd "$scratch"
# A campaign cut short leaves its plant behind.
find . -path ./build -prune -o -name '*.unplanted' -print | while read -r left; do
    mv "$left" "${left%.unplanted}"
    touch "${left%.unplanted}"
done
log=$scratch/../campaign.log
: >"$log"
if [ ! -f build/dev/build.ninja ]; then
    cmake --preset dev >>"$log" 2>&1 || { echo "configure failed, see $log"; exit 1; }
fi
cmake --build --preset dev -j "$jobs" >>"$log" 2>&1 || { echo "the unplanted copy does not build, see $log"; exit 1; }

# The names of the tests a ctest run reports as failed; a test that skipped
# (an e2e test without its display) caught nothing.
failed_tests() {
    sed -n '/ (\(Skipped\|Disabled\))$/d; s/^[[:space:]]*[0-9]* - \([^ ]*\) (.*)$/\1/p' "$1" | paste -sd' ' -
}

caught=0
missed=0
broken=0
for row in "${selected[@]}"; do
    IFS='|' read -r id files expr expected what <<<"$row"
    file=
    IFS=',' read -ra candidates <<<"$files"
    for candidate in "${candidates[@]}"; do
        if [ -f "$candidate" ] && ! sed -e "$expr" "$candidate" | cmp -s - "$candidate"; then
            file=$candidate
            break
        fi
    done
    if [ -z "$file" ]; then
        printf '%-4s NOT PLANTED (the expression matched nothing)  %s\n' "$id" "$what"
        broken=$((broken + 1))
        continue
    fi
    cp "$file" "$file.unplanted"
    sed -i -e "$expr" "$file"
    if ! cmake --build --preset dev -j "$jobs" >>"$log" 2>&1; then
        printf '%-4s DOES NOT BUILD  %s\n' "$id" "$what"
        mv "$file.unplanted" "$file"
        touch "$file"
        broken=$((broken + 1))
        continue
    fi
    out=$scratch/../$id.ctest
    ctest --preset dev -j "$test_jobs" -R "$expected" --no-tests=ignore >"$out" 2>&1
    failures=$(failed_tests "$out")
    if [ -z "$failures" ]; then
        ctest --preset dev -j "$test_jobs" --stop-on-failure >"$out" 2>&1
        failures=$(failed_tests "$out")
    fi
    if [ -n "$failures" ]; then
        printf '%-4s caught by %s  (%s)\n' "$id" "$failures" "$what"
        caught=$((caught + 1))
    else
        printf '%-4s MISSED  (%s)\n' "$id" "$what"
        missed=$((missed + 1))
    fi
    # A new time, so that the next build drops the plant.
    mv "$file.unplanted" "$file"
    touch "$file"
done
# Leave the copy built as the tree is, for the next campaign.
cmake --build --preset dev -j "$jobs" >>"$log" 2>&1
echo "planted $((caught + missed)), caught $caught, missed $missed, not planted $broken"
