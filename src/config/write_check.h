#pragma once
// Verification after a write: the device is read back and compared field by field with what
// was written, so that a write the device acknowledged but did not keep is seen. Here is what
// such a check found and how the operator is told; the links read the device back.

#include "config/config_fields.h"

struct WriteCheck {
    // False: the device could not be read back, and nothing was compared.
    bool readBack = false;
    // The fields compared whose value read differs from the value written (first: written,
    // second: read).
    QList<FieldDifference> differences;
};

// What was read back compared with what was written, over the fields of the scope that the
// filter lets through.
WriteCheck CompareWritten(const DeviceConfig& written, const DeviceConfig& read, FieldScope scope,
                          const FieldFilter& compared = {});

// One difference as the operator reads it: "<label>: записано <written>, прочитано <read>".
QString WriteDifferenceText(const FieldDifference& d);

// Tells the operator what the check found: nothing when every field compared matched; one
// notice listing each field that differs, with both values; or, when the device could not be
// read back, one notice that the write could not be verified.
void ReportWriteCheck(const WriteCheck& check);
