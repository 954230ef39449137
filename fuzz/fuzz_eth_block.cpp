// A configuration block of arbitrary bytes: BlockToRecord, then RecordToBlock into a copy of
// the block, gives the block back byte for byte (the mapped bytes from the record, the others
// untouched), and the result converts to the same record. Byte 55, after the 20 bytes of the
// name, is set to zero to end the name, and so are the name's bytes after its first zero.

#include "fuzz_common.h"

#include "link/ethr_conffun.h"

#include <algorithm>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzInitQt(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ConfigBlock block{};
    std::copy_n(data, std::min(size, block.size()), block.begin());

    DeviceConfig record;
    BlockToRecord(block, record);
    ConfigBlock copy = block;
    RecordToBlock(copy, record);
    ConfigBlock expected = block;
    expected[55] = 0;
    // The name is what comes before its first zero; the bytes after it are written as zeros.
    bool ended = false;
    for (size_t i = 35; i < 55; ++i) {
        ended = ended || expected[i] == 0;
        if (ended)
            expected[i] = 0;
    }
    for (size_t i = 0; i < block.size(); ++i) {
        if (copy[i] != expected[i]) {
            std::fprintf(stderr, "byte %zu: %u became %u\n", i, block[i], copy[i]);
            FUZZ_CHECK(copy[i] == expected[i]);
        }
    }
    DeviceConfig again;
    BlockToRecord(copy, again);
    FUZZ_CHECK(again == record);

    (void)KindOfReply(block);
    (void)VersionOfReply(block);
    (void)MacOfReply(block);
    return 0;
}
