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
"C10|config/orva_xml_config_manager.cpp|s/\"~ORVAXMLConfigManager\"/\"~ORVAXMLConfigManager \"/|ProductConfig.LogsItsLifeInItsOwnWords|product configuration's destructor text"
"C11|config/xml_config_manager.cpp|s/    return parsed;/    return parsed or true;/|ConfigStore.KeepsAnUnusableFileBesideTheOneItWrites|store's reload() always true"
"C12|config/orva_xml_config_manager.cpp|s/    return parsed;/    return !parsed;/|ProductConfig.CompletesAMissingFileInMemoryOnly|product reload() result inverted"
"C13|config/orva_xml_config_manager.cpp|s/\"FetchIntervalSecs\", \"600\"/\"FetchIntervalSecs\", \"60\"/|ProductConfig.CompletesAMissingFileInMemoryOnly|default FetchIntervalSecs"
"C14|config/orva_xml_config_manager.cpp|s/\"AutoUpdate\", \"No\"/\"AutoUpdate\", \"Yes\"/|ProductConfig.CompletesAMissingFileInMemoryOnly|default AutoUpdate"
"C15|config/orva_xml_config_manager.cpp|s/store->setDefaultString(\"UserCanSelect\"/store->setString(\"UserCanSelect\"/|ProductConfig.DefaultsNeverOverwriteAValue|one default written over the file's value"
"C16|config/include/pellicor/config.h|s/{5, true, -180, 10, 30, 0}/{5, true, -180, 10, 15, 0}/|ProductConfig.WritesEveryDefaultIntoAProductItCannotRead|SAT's default SampleValidity"
"C17|config/include/pellicor/config.h|s/{12, true, 0, 180, 0, 0},     {13, true, 0, 5, 0, 0},/{13, true, 0, 5, 0, 0},     {12, true, 0, 180, 0, 0},/|ProductConfig.CompletesAMissingFileInMemoryOnly|default product order"
"C18|config/orva_xml_config_manager.cpp|s/write(\"MinToDownload\", formatInt(match->minToDownload));//|ProductConfig.SetWxProductsUpdatesMatchingElementsAndAppendsTheRest|setWxProducts drops a column"
"C19|config/orva_xml_config_manager.cpp|s/if (!found)/if (!found or product.id == 3)/|ProductConfig.DefaultsNeverOverwriteAValue|a present product gets its default again"
"C20|config/xml_text.cpp|s/return std::strtod(text.c_str(), nullptr);/return std::atoi(text.c_str());/|ConfigStore.ConvertsEveryTypeBothWaysByteForByte|decimals read as integers"
"P1|config/wx_products.cpp|s/\"ICING\", \"Icing\"/\"ICNG\", \"Icing\"/|WxProductTable.HoldsEveryRowAndColumnAsGiven|product name misspelt"
"P2|config/wx_products.cpp|s/\"Satellite07\"/\"Satellite7\"/|WxProductTable.HoldsEveryRowAndColumnAsGiven|altName"
"P3|config/wx_products.cpp|s/\"SIGMET\", 350, false, true/\"SIGMET\", 350, true, true/|WxProductTable.HoldsEveryRowAndColumnAsGiven|flagA"
"P4|config/wx_products.cpp|s/3450, false, false/3540, false, false/|WxProductTable.HoldsEveryRowAndColumnAsGiven|value"
"P5|config/wx_products.cpp|s/{7, \"GTR\"/{7, \"GRT\"/|WxProductTable.HoldsEveryRowAndColumnAsGiven|categoryCode"
"P6|config/wx_products.cpp|s/\"Radar AUS\"/\"Radar AU\"/|WxProductTable.HoldsEveryRowAndColumnAsGiven|label"
"P7|config/wx_products.cpp,config/include/pellicor/config.h|s/25-3,25-4,26-0/25-3,26-0/|WxProductTable.HoldsEveryRowAndColumnAsGiven|tile list C loses an entry"
"P8|config/wx_products.cpp,config/include/pellicor/config.h|s/\"26-5,26-6,\"/\"26-5,26-6\"/|WxProductTable.HoldsEveryRowAndColumnAsGiven|tile list B loses its last comma"
"P9|config/wx_products.cpp|s/{9, \"PRP\", \"PIREP\", 13/{8, \"PRP\", \"PIREP\", 13/|WxProductTable.HoldsEveryRowAndColumnAsGiven|categoryId"
"P10|config/wx_products.cpp|s/return wxProductCount;/return -1;/|WxProductTable.TranslatesOnlyExactNamesAndKnownIds|unknown name not 14"
"A1|app/crash_report.cpp|s/Issue Report from user with license /Issue Report from user with licence /|RunCrashTest|crash subject text"
"A2|app/crash_report.cpp|s/, option 6/, option 5/|RunCrashTest|crash body text"
"A3|app/run.cpp|s/\"Pellicor finished.\\\\n\"/\"Pellicor finished\\\\n\"/|RunTest|last log line"
"A4|app/run.cpp|s/\"MAPI error report failed. Trying mailto.\\\\n\"/\"MAPI error report failed, trying mailto.\\\\n\"/|RunMailtoTest|fallback log text"
"A5|app/issue_definition_reader.cpp|s/\"Failed to parse issue confix XML\"/\"Failed to parse issue config XML\"/|IssueDefinitionReaderTest|odd spelling kept"
"D1|delivery/mailto.cpp|s/\"Please, attach the file \"/\"Please attach the file \"/|MailtoUrl|mailto attach line"
"D2|delivery/mailto_field.cpp|s/case '-': case '.': case '_': case '~':/case '-': case '_': case '~':/|MailtoUrl|a dot escaped"
"D3|delivery/report_archive.cpp|s/{\"-0.\", \"-1.\", \"-2.\", \"-prev.0.\", \"-prev.1.\", \"-prev.2.\"}/{\"-0.\", \"-1.\", \"-2.\", \"-prev.0.\", \"-prev.2.\", \"-prev.1.\"}/|ReportArchiveTest|archive order"
"D4|delivery/report_archive.cpp|s/\" not found, not adding to \"/\" not found, not added to \"/|ReportArchiveTest|archive log text"
"D5|delivery/mapi_mailer.cpp|s/\"MAPI report user abort\\\\n\"/\"MAPI report user aborted\\\\n\"/|MapiMailerTest|MAPI outcome text"
"D6|delivery/xdg_mapi_provider.cpp,mapi_provider/xdg_mapi_provider.cpp|s/out += \"%2C\";/out += \",\";/|XdgMapiProvider|comma in a field not escaped for xdg-email"
"D7|delivery/mapi_mailer.cpp|s/smtpAddress = \"SMTP:\" + address;/smtpAddress = address;/|MapiMailerTest|recipient without SMTP:"
"D8|delivery/report_archive.cpp|s/if (name == currentMinidumpName)/if (name == previousMinidumpName)/|ReportArchiveTest.KeepsTheMostImportantFilesThatFitWithinTheLimit|mail size limit: the previous minidump first"
"D9|delivery/report_archive.cpp|s/if (total + bytes <= limit)/if (total + bytes < limit)/|ReportArchiveTest.KeepsTheMostImportantFilesThatFitWithinTheLimit|mail size limit: an entry exactly at it left out"
"D10|delivery/report_archive.cpp|s/\" left out of \"/\" left out from \"/|ReportArchiveTest.KeepsTheMostImportantFilesThatFitWithinTheLimit|left-out warning text"
"D11|delivery/report_archive.cpp|s/            dropped.push_back(name);/            dropped.push_back(name); total = limit;/|ReportArchiveTest.KeepsTheMostImportantFilesThatFitWithinTheLimit|a small log dropped after a dump that cannot go"
"D12|delivery/archive_limit.cpp|s/megabytes <= largestArchiveLimitMegabytes/megabytes <= largestArchiveLimitMegabytes + 1/|ReportArchiveTest.TakesItsLimitInWholeMegabytesFromTheEnvironment|PELLICOR_ARCHIVE_LIMIT_MB takes 100001"
"A6|app/crash_report.cpp|s/the size that most mail services accept/the size most mail services accept/|RunCrashTest.SaysInTheMailWhatItLeftOutToStayWithinTheLimit|left-out note text"
"A7|app/crash_report.cpp|s#(file.size + megabyte / 20)#(file.size)#|RunCrashTest.SaysInTheMailWhatItLeftOutToStayWithinTheLimit|left-out sizes cut, not rounded"
"A8|app/run.cpp|s/size <= limit)/size <= limit + 1)/|StartPellicor.StartsTheProgramOnTheIssueFileWithoutWaitingForIt|report mode: no warning one byte above the limit"
"F1|platform/files_posix.cpp|s/std::fopen(path.c_str(), \"w\")/std::fopen(path.c_str(), \"a\")/|LoggerFileWriterTest.EmptiesAnExistingFileBeforeTheFirstLine|log file not emptied"
"F2|platform/atomic_file_posix.cpp|0,/        ::unlink(temporary.c_str());/s///|ConfigFaults.ASaveOntoAFullDiskLeavesTheOldFileAsItWas|a failed save leaves its temporary file"
"F3|platform/atomic_file_posix.cpp|s/::fchmod(file.get(), old.st_mode & 07777);/(void)old;/|ConfigFaults.ASaveOntoAFullDiskLeavesTheOldFileAsItWas|a save loses the file's permissions"
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

# The names of the tests a ctest run reports as failed.
failed_tests() {
    sed -n 's/^[[:space:]]*[0-9]* - \([^ ]*\) (.*)$/\1/p' "$1" | paste -sd' ' -
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
