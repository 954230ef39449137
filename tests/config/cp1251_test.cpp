#include "config/cp1251.h"

#include <QStringDecoder>
#include <gtest/gtest.h>

// Our table must agree with the system's converter for every byte it knows. Byte 0x98 has
// no character in the code page; we keep it as U+0098 so any byte string survives.
TEST(Cp1251, AgreesWithSystemConverterForAllBytes)
{
    QStringDecoder system("windows-1251");
    ASSERT_TRUE(system.isValid());
    for (int b = 0; b < 256; ++b) {
        const QByteArray byte(1, char(b));
        const QString ours = fromCp1251(byte);
        ASSERT_EQ(ours.size(), 1) << b;
        if (b == 0x98) {
            EXPECT_EQ(ours[0].unicode(), 0x98);
        } else {
            QStringDecoder fresh("windows-1251");
            EXPECT_EQ(ours, QString(fresh(byte))) << "byte " << b;
        }
        bool ok = false;
        EXPECT_EQ(toCp1251(ours, &ok), byte) << b;
        EXPECT_TRUE(ok);
    }
}

TEST(Cp1251, UkrainianTextRoundTrips)
{
    const QString text = QStringLiteral("Зв'язок ґанок Їжак є");
    bool ok = false;
    const QByteArray bytes = toCp1251(text, &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(bytes.size(), text.size());
    EXPECT_EQ(fromCp1251(bytes), text);
}

TEST(Cp1251, UnrepresentableCharacterIsDetected)
{
    const QString text = QStringLiteral("ab\u4E2Dc");
    bool ok = true;
    EXPECT_EQ(toCp1251(text, &ok), QByteArray("ab?c"));
    EXPECT_FALSE(ok);
}

// A name is refused for its first character that is a control character or that the code
// page cannot hold, with the two lines the input forms show.
TEST(Cp1251, NameRefusalNamesTheFirstCharacterThatCannotBeStored)
{
    const QString control = QStringLiteral("(керуючі символи не допускаються)");
    const QString foreign = QStringLiteral("(немає в кодуванні Windows-1251)");
    const auto code = [](const char* hex) {
        return QStringLiteral("Символ з кодом 0x%1 у найменуванні неприпустимий").arg(hex);
    };
    const auto character = [](const QString& c) {
        return QStringLiteral("Символ \"%1\" у найменуванні неприпустимий").arg(c);
    };
    struct Case {
        QString text;
        std::optional<NameRefusal> refusal;
    };
    const Case cases[] = {
        {QString(), std::nullopt},
        {QStringLiteral("Київ ґ 50% №1"), std::nullopt},
        {QStringLiteral(" \x7F") + QChar(0x98), std::nullopt}, // blank, DEL and 0x98 are stored
        {QStringLiteral("dev\ruser_index=7"), NameRefusal{code("0D"), control}},
        {QStringLiteral("a\nb"), NameRefusal{code("0A"), control}},
        {QStringLiteral("a\tb"), NameRefusal{code("09"), control}},
        {QString(QChar(0)), NameRefusal{code("00"), control}},
        {QStringLiteral("\x1F"), NameRefusal{code("1F"), control}},
        {QStringLiteral("ab\u4E2Dc\r"), NameRefusal{character(QStringLiteral("\u4E2D")), foreign}},
        {QStringLiteral("a\x01\u4E2D"), NameRefusal{code("01"), control}},
        {QStringLiteral("a😀b"), NameRefusal{character(QStringLiteral("😀")), foreign}},
    };
    for (const Case& c : cases) {
        const auto refusal = RefuseAsName(c.text);
        ASSERT_EQ(refusal.has_value(), c.refusal.has_value()) << c.text.toStdString();
        if (refusal) {
            EXPECT_EQ(refusal->line1, c.refusal->line1) << c.text.toStdString();
            EXPECT_EQ(refusal->line2, c.refusal->line2) << c.text.toStdString();
        }
    }
}
