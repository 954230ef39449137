// ReadConnSettings on arbitrary bytes; then a changed copy is written (only its changed
// groups, into the same file) and read again: the same settings.

#include "fuzz_common.h"

#include "config/rd_wr_ini.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzInitQt(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString path = FuzzWriteFile(QStringLiteral("qel_conn.ini"), data, size);
    ConnSettingsState state;
    ReadConnSettings(state, path);
    FUZZ_CHECK(state.cur == state.saved);

    // A change in every group, chosen by the input so that each is sometimes left alone.
    const uint8_t pick = size ? data[size - 1] : 0;
    ConnSettings& s = state.cur;
    if (pick & 1)
        s.Conn_Prz = s.Conn_Prz ? 0 : 1;
    if (pick & 2)
        s.Repeat = quint8(s.Repeat + 1);
    if (pick & 4) {
        if (s.book.users_num < kMaxAbonents) {
            Abonent& a = s.book.abonents[s.book.users_num];
            SetAbonentName(a, QByteArray("fuzz ") + QByteArray::number(size));
            a.ip_adr = {127, 0, 0, quint8(size)};
            a.port = kDefaultAbonentPort;
            ++s.book.users_num;
        } else {
            s.book.abonents[0].port = s.book.abonents[0].port ^ 1;
        }
    }
    if (pick & 8)
        s.VerifyWrites = !s.VerifyWrites;
    const ConnSettings written = s;

    QString error;
    // A file the reader refused (too large, say) is not replaced; nothing more to compare.
    if (!WriteConnSettings(state, path, &error))
        return 0;
    FUZZ_CHECK(state.saved == written);
    ConnSettingsState again;
    ReadConnSettings(again, path);
    if (again.cur != written)
        std::fprintf(stderr, "differs: link %d, serial %d, ethernet %d, program %d\n",
                     again.cur.Conn_Prz != written.Conn_Prz, !again.cur.serialGroupEquals(written),
                     !again.cur.ethernetGroupEquals(written),
                     !again.cur.programGroupEquals(written));
    FUZZ_CHECK(again.cur == written);
    return 0;
}
