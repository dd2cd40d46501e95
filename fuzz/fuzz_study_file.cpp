// parseStudy on arbitrary bytes: it refuses with one of its refusals (each with a message) and
// never otherwise; a study it takes is written back by studyJson and read again as the same
// study (values, groups, exclusions, λ, class count).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_checks.h"
#include "record/study_file.h"

using namespace kijunchi;
using namespace kijunchi::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const StudyReading reading = parseStudy(bytes);
    if (reading.refusal != StudyRefusal::None) {
        require(!studyRefusalMessage(reading.refusal, "f").empty(), "every refusal has a message");
        return 0;
    }
    const Study& study = reading.study;
    const StudyReading again = parseStudy(studyJson(study));
    require(again.refusal == StudyRefusal::None, "a study taken is written back readable");
    require(again.study.values == study.values, "the values read back as written");
    require(again.study.groups == study.groups, "the groups read back as written");
    require(again.study.lambda == study.lambda, "λ reads back as written");
    require(again.study.classes == study.classes, "the class count reads back as written");
    require(again.study.excluded.size() == study.excluded.size(), "every exclusion reads back");
    return 0;
}
