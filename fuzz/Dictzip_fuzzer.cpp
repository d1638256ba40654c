#include <cstddef>
#include <cstdint>
#include <fuzzer/FuzzedDataProvider.h>
#include <string>

#include "Fuzz_folder.h"
#include "storage/Dictzip_file.h"

// The input is a data file, plain, gzip or dictzip, followed by ranges to read. Whatever opens
// must give each range whole or refuse it, and give the same bytes when read again in any order.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *bytes, std::size_t size)
{
    FuzzedDataProvider provider(bytes, size);
    const std::string file = provider.ConsumeRandomLengthString(1 << 16);
    DictzipHeader header;
    std::string reason;
    if (ParseDictzipHeader(
            reinterpret_cast<const unsigned char *>(file.data()), file.size(), header, reason))
        FuzzCheck(header.dataStart <= file.size(), "a header ending past its bytes");
    const std::string path = FuzzFolder() + "/d.dz";
    WriteFuzzFile(path, file);
    DictzipFile reader;
    std::string error;
    if (!reader.Open(path, error)) {
        FuzzCheck(!error.empty(), "a refusal without a reason");
        return 0;
    }
    while (provider.remaining_bytes() > 0) {
        const std::uint64_t offset =
            provider.ConsumeIntegral<std::uint32_t>() % (reader.Size() + 2);
        const std::size_t length = provider.ConsumeIntegral<std::uint16_t>();
        std::string first;
        std::string second;
        const bool read = reader.Read(offset, length, first, error);
        FuzzCheck(!read || first.size() == length, "a read of the wrong length");
        FuzzCheck(read || offset + length > reader.Size() || !error.empty(),
            "a read inside the text refused without a reason");
        if (read && reader.Read(0, reader.Size() < 64 ? reader.Size() : 64, second, error)
            && reader.Read(offset, length, second, error))
            FuzzCheck(first == second, "a range read twice differs");
    }
    return 0;
}
