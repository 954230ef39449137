#pragma once
// Operations on the abonent book that its dialogs use: ordering and deleting entries.

#include "config/rd_wr_ini.h"

// Orders the used entries by sort_prz (0 by name, case folded in Windows-1251, compared as
// unsigned bytes; 1 by address read as an unsigned little-endian number; any other value
// keeps the stored order), then makes current the last entry whose whole name field equals
// that of the entry that was current.
void SortAbonentBook(AbonentBook& book);

// Removes the current entry: the later ones move up, the freed slot is zeroed, user_index
// steps back unless it is 0. Does nothing when the index is outside the used entries.
void DeleteCurrentAbonent(AbonentBook& book);

// A device's own name made fit for the book, as a typed name would have to be: control
// characters become blanks and characters Windows-1251 cannot hold become '?', blanks at both
// ends are dropped, and the name is cut to the 49 bytes a record holds. An empty result
// (a device without a name) gives "QEL_2 <address>".
QByteArray AbonentNameOfDevice(const QString& deviceName, const IpAddress& address);

// The used entry with this address, or -1.
int FindAbonentByAddress(const AbonentBook& book, const IpAddress& address);

enum class AddAbonentResult { Added, AlreadyInBook, BookFull };
// Adds an entry at the end of the used ones (port 50000) and makes it current, unless one
// with that address is there already or the book holds its 200 entries.
AddAbonentResult AddAbonent(AbonentBook& book, const QByteArray& cp1251Name,
                            const IpAddress& address);
