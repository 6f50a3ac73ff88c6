// Fuzz target: getrematch with each fixed pattern the line parsers use; byte 0 picks the pattern.
#include "fuzz_input.h"
#include "lvmparse_p.h"
#include "utils.h"

#include <iterator>

#include <cstring>
#include <vector>

namespace {

// In the order make_seeds.py writes their seeds.
const auto& kPatterns = LvmPattern::kAll;
constexpr std::size_t kPatternCount = std::size(LvmPattern::kAll);

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    const char* pattern = kPatterns[data[0] % kPatternCount];
    const bool wantFirst = (data[0] & 0x10) == 0;
    const bool wantSecond = (data[0] & 0x20) == 0;
    std::vector<char> subject(reinterpret_cast<const char*>(data + 1), reinterpret_cast<const char*>(data + size));
    subject.push_back('\0');
    const std::vector<char> original = subject;
    const std::size_t length = std::strlen(subject.data());

    char* first = reinterpret_cast<char*>(1);
    char* second = reinterpret_cast<char*>(1);
    const int matched =
        getrematch(subject.data(), pattern, wantFirst ? &first : nullptr, wantSecond ? &second : nullptr);
    if (!matched) {
        // No match leaves the subject and the out-parameters alone.
        FUZZ_CHECK(subject == original);
        FUZZ_CHECK(first == reinterpret_cast<char*>(1) && second == reinterpret_cast<char*>(1));
        return 0;
    }
    FUZZ_CHECK(matched == 1);
    for (char* copy : {wantFirst ? first : nullptr, wantSecond ? second : nullptr}) {
        FUZZ_CHECK(copy != reinterpret_cast<char*>(1));
        if (copy)
            FUZZ_CHECK(std::strlen(copy) <= length);
        std::free(copy);
    }
    return 0;
}
