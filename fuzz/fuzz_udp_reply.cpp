// The handling of replies on the UDP link, for datagrams of any size. The input is a
// sequence of datagrams, each a 2-byte length (little-endian, cut to what is left) and its
// bytes, and a sender byte (the last octet of 127.0.0.x) before it; they are fed one after
// the other into one DeviceSearch, and every 285-byte one is also classified as the
// exchange classifies a reply.

#include "fuzz_common.h"

#include "link/discover.h"
#include "link/ethr_conffun.h"

#include <QHostAddress>

#include <algorithm>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzInitQt(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    DeviceSearch search;
    size_t pos = 0;
    int fed = 0;
    while (pos + 3 <= size && fed < 64) {
        const quint32 from = 0x7F000000u | data[pos];
        const size_t len =
            std::min<size_t>(size_t(data[pos + 1]) | size_t(data[pos + 2]) << 8, size - pos - 3);
        pos += 3;
        const QByteArray datagram(reinterpret_cast<const char*>(data + pos), qsizetype(len));
        pos += len;
        if (len == size_t(kDatagramSize)) {
            ConfigBlock block{};
            std::copy_n(data + pos - len, len, block.begin());
            const EthReply kind = KindOfReply(block);
            const int version = VersionOfReply(block);
            (void)MacOfReply(block);
            // -1: no zero ends the module text, so no version follows it.
            FUZZ_CHECK(version >= -1 && version <= 255);
            (void)kind;
        }
        search.feedReply(datagram, QHostAddress(from));
        ++fed;
    }
    const SearchReport& r = search.report();
    FUZZ_CHECK(r.repliesReceived == fed);
    FUZZ_CHECK(int(r.ignored.size()) + r.duplicates <= fed);
    FUZZ_CHECK(search.devices().size() <= size_t(fed));
    for (const FoundDevice& d : search.devices())
        (void)d.name();
    (void)search.explanation();
    return 0;
}
