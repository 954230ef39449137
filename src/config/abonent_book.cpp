#include "config/abonent_book.h"

#include "config/cp1251.h"

#include <QList>

#include <algorithm>
#include <vector>

namespace
{

// Compares two zero-terminated names as upper-case Windows-1251 bytes.
bool nameLess(const Abonent& a, const Abonent& b)
{
    for (int i = 0; i < kAbonentNameSize; ++i) {
        const unsigned char x = cp1251Upper(static_cast<unsigned char>(a.user_name[size_t(i)]));
        const unsigned char y = cp1251Upper(static_cast<unsigned char>(b.user_name[size_t(i)]));
        if (x != y)
            return x < y;
        if (x == 0)
            return false;
    }
    return false;
}

quint32 addressNumber(const Abonent& a)
{
    return static_cast<quint32>(AddressToInt(a.ip_adr));
}

bool addressLess(const Abonent& a, const Abonent& b)
{
    return addressNumber(a) < addressNumber(b);
}

} // namespace

void SortAbonentBook(AbonentBook& book)
{
    const int used = std::min<int>(book.users_num, kMaxAbonents);
    const bool hadCurrent = book.user_index < used;
    const auto remembered =
        hadCurrent ? book.abonents[book.user_index].user_name : decltype(Abonent::user_name){};
    if (used > 1 && book.sort_prz <= 1) {
        const auto begin = book.abonents.begin();
        std::stable_sort(begin, begin + used, book.sort_prz == 0 ? nameLess : addressLess);
    }
    if (!hadCurrent)
        return;
    for (int i = used - 1; i >= 0; --i) {
        if (book.abonents[size_t(i)].user_name == remembered) {
            book.user_index = quint8(i);
            return;
        }
    }
}

void DeleteCurrentAbonent(AbonentBook& book)
{
    const int used = std::min<int>(book.users_num, kMaxAbonents);
    const int current = book.user_index;
    if (current >= used)
        return;
    std::move(book.abonents.begin() + current + 1, book.abonents.begin() + used,
              book.abonents.begin() + current);
    book.abonents[size_t(used - 1)] = Abonent{};
    if (book.user_index > 0)
        --book.user_index;
    book.users_num = quint8(used - 1);
}

QByteArray AbonentNameOfDevice(const QString& deviceName, const IpAddress& address)
{
    QString clean;
    for (const uint c : deviceName.toUcs4()) {
        const char32_t code = c;
        const QString one = QString::fromUcs4(&code, 1);
        if (QChar::category(c) == QChar::Other_Control || c == 0x7F)
            clean += QLatin1Char(' ');
        else if (RefuseAsName(one))
            clean += QLatin1Char('?'); // one mark for one character, outside the BMP too
        else
            clean += one;
    }
    clean = clean.trimmed();
    if (clean.isEmpty())
        clean = QStringLiteral("QEL_2 ") + AddressText(address);
    QByteArray bytes = toCp1251(clean).left(kAbonentNameSize - 1);
    while (bytes.endsWith(' '))
        bytes.chop(1);
    return bytes;
}

int FindAbonentByAddress(const AbonentBook& book, const IpAddress& address)
{
    const int used = std::min<int>(book.users_num, kMaxAbonents);
    for (int i = 0; i < used; ++i) {
        if (book.abonents[size_t(i)].ip_adr == address)
            return i;
    }
    return -1;
}

AddAbonentResult AddAbonent(AbonentBook& book, const QByteArray& cp1251Name,
                            const IpAddress& address)
{
    if (FindAbonentByAddress(book, address) >= 0)
        return AddAbonentResult::AlreadyInBook;
    const int used = std::min<int>(book.users_num, kMaxAbonents);
    if (used >= kMaxAbonents)
        return AddAbonentResult::BookFull;
    Abonent& a = book.abonents[size_t(used)];
    a = Abonent{};
    SetAbonentName(a, cp1251Name);
    a.ip_adr = address;
    a.port = kDefaultAbonentPort;
    book.users_num = quint8(used + 1);
    book.user_index = quint8(used);
    return AddAbonentResult::Added;
}
