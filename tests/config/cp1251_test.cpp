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
    EXPECT_EQ(firstNonCp1251(text), QChar(0x4E2D));
    EXPECT_TRUE(firstNonCp1251(QStringLiteral("Абв")).isNull());
}
