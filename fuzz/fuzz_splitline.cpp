// Fuzz target: splitline on any bytes; byte 0 is the separator, byte 1 the capacity of the field array.
#include "fuzz_input.h"
#include "utils.h"

#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    const char separator = static_cast<char>(data[0]);
    const int capacity = data[1] % 64;
    // Exactly the line and its terminating NUL, so a read past the end is caught.
    std::vector<char> line(reinterpret_cast<const char*>(data + 2), reinterpret_cast<const char*>(data + size));
    line.push_back('\0');
    const std::size_t length = std::strlen(line.data());
    std::vector<char*> fields(static_cast<std::size_t>(capacity));
    const int count = splitline(line.data(), fields.data(), separator, capacity);
    FUZZ_CHECK(count >= 0 && count <= capacity);
    FUZZ_CHECK(capacity == 0 || count >= 1);
    const char* previous = nullptr;
    for (int i = 0; i < count; ++i) {
        const char* field = fields[static_cast<std::size_t>(i)];
        FUZZ_CHECK(field >= line.data() && field <= line.data() + length);
        FUZZ_CHECK(previous == nullptr || field > previous);
        previous = field;
    }
    return 0;
}
