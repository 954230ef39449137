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
