#pragma once
// Configuration files (*.cnf): one device configuration record as an INI file in the CONFIG
// directory, its reader and writer, and the operator's open and save flows.

#include "config/devconfig.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

// Reads the file at path into cfg. The record is zero-filled first; a missing section or
// key, or a value that is not a number, gives the key's default, and numbers are cut to
// their field's width. box_name is taken as NameFromFile makes it, so that writing the
// record and reading it again gives the same record. False when there is no file or it
// cannot be read (not a regular file, larger than kMaxIniFileSize, no permission): cfg then
// holds the defaults of a file without keys, and *error reads "Unable to read <path>", and
// the reason on a second line. Never throws.
bool ReadCnfFile(const QString& path, DeviceConfig& cfg, QString* error = nullptr);

// Writes every key of cfg into the file at path, in one atomic replacement. A new file gets
// the sections and keys in their fixed order; in an existing file the keys are replaced in
// place and every other section and key is kept. On failure the old file is left whole and
// *error reads "Unable to write to <path>", then the reason on a second line.
bool WriteCnfFile(const DeviceConfig& cfg, const QString& path, QString* error = nullptr);

// What the open and save flows ask of a file dialog. The UI layer shows the real ones;
// tests answer from a script.
struct FileDialogRequest {
    QString title;
    QString dir; // initial directory
    QStringList filters;
    int filterIndex = 0; // 0 selects the first filter
    QString fileName;    // offered name, a full path; empty for the open dialog
};

class FileDialogs
{
public:
    virtual ~FileDialogs() = default;
    // The chosen file's full path, or empty when the operator cancelled.
    virtual QString openFile(const FileDialogRequest& request) = 0;
    virtual QString saveFile(const FileDialogRequest& request) = 0;
};

// The filters of both dialogs: ".cnf" files first, then every file.
QStringList CnfFileFilters();

// The name proposed for a save: <CONFIG>/qel_2_<box_vers>_<yymmddhhmm>.cnf at the moment now.
QString GeneratedCnfName(quint8 boxVers, const QDateTime& now);

// A device name made fit to stand in a file name: / \ : * ? " < > | and control characters
// become '_', so the name cannot lead a save outside its directory.
QString FileNameFromDeviceName(const QString& name);

// Lets the operator choose a file in CONFIG and reads it into cfg. True when a file of the
// supported version was read; false when the operator cancelled, when the file cannot be
// read (the operator sees the path and the reason as an error), or when it belongs to
// another version (the operator is told). cfg then holds what was read, or the defaults;
// callers drop it.
bool OpenConfigFile(DeviceConfig& cfg, FileDialogs& dialogs);

// How a save ended: the file written, the operator cancelled, or the write failed (the
// operator has been shown the error).
enum class SaveOutcome { Saved, Cancelled, Failed };

// Offers proposedName (or, when empty, the generated name at now) in the save dialog, asks
// before replacing a file, writes cfg to the confirmed name and tells the operator. A failed
// write is shown as an error instead of the notice.
SaveOutcome SaveConfigFile(const DeviceConfig& cfg, FileDialogs& dialogs,
                           const QString& proposedName = {},
                           const QDateTime& now = QDateTime::currentDateTime());
