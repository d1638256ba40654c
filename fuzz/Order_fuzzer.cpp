#include <cstddef>
#include <cstdint>
#include <string>

#include "Fuzz_folder.h"
#include "support/Dictionary_order.h"

// The input is a DIC_ORDER value. Writing the names back, each ended by ";", must give the
// value up to its last ";" (a ";" in first place only counts as part of the first name).
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *bytes, std::size_t size)
{
    const std::string value(reinterpret_cast<const char *>(bytes), size);
    std::string written;
    for (const std::string &name : SplitDictionaryOrder(value)) {
        FuzzCheck(name.find(';') == std::string::npos || (written.empty() && name[0] == ';'),
            "a name holding a separator");
        written += name + ";";
    }
    const std::size_t last = value.size() > 1 ? value.rfind(';') : std::string::npos;
    const std::string expected =
        last == std::string::npos || last == 0 ? std::string() : value.substr(0, last + 1);
    FuzzCheck(written == expected, "the names do not give the value back");
    return 0;
}
