// The .cnf reader on arbitrary bytes; a file that reads is written back (in place, keeping its
// other lines) and to a new file, and both read as the same record.

#include "fuzz_common.h"

#include "config/cnf_file.h"

#include <QFile>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzInitQt(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString path = FuzzWriteFile(QStringLiteral("in.cnf"), data, size);
    DeviceConfig first;
    QString error;
    if (!ReadCnfFile(path, first, &error))
        return 0;

    FUZZ_CHECK(WriteCnfFile(first, path, &error));
    DeviceConfig inPlace;
    FUZZ_CHECK(ReadCnfFile(path, inPlace, &error));
    FUZZ_CHECK(inPlace == first);

    const QString fresh = FuzzDir() + QStringLiteral("/new.cnf");
    QFile::remove(fresh);
    FUZZ_CHECK(WriteCnfFile(first, fresh, &error));
    DeviceConfig again;
    FUZZ_CHECK(ReadCnfFile(fresh, again, &error));
    FUZZ_CHECK(again == first);
    return 0;
}
