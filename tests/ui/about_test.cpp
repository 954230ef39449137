// The about box at its design sizes.

#include "app/about.h"

#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

namespace
{

TEST(AboutBox, DesignSizesAndContents)
{
    TFormAbout about;
    about.show();
    EXPECT_EQ(about.size(), QSize(540, 546));

    const auto* picture = about.findChild<QLabel*>("Image1");
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->geometry(), QRect(4, 4, 512, 445));
    EXPECT_EQ(picture->pixmap().size(), QSize(512, 445)) << "the picture is in the resources";

    auto* close = about.findChild<QPushButton*>("BitBtn1");
    ASSERT_NE(close, nullptr);
    EXPECT_EQ(close->geometry(), QRect(211, 461, 100, 26));
    EXPECT_TRUE(close->text().isEmpty());
    EXPECT_FALSE(close->icon().isNull());

    EXPECT_EQ(about.findChild<QLabel*>("Panel2")->text(), "Версія   02");
    EXPECT_TRUE(about.findChild<QLabel*>("Panel3")->text().endsWith("2023"));

    // Nine credit rows, 25 pixels high, from 208 down to at most 445 in the box.
    const QWidget* panel = about.findChild<QWidget*>("Panel1");
    int rows = 0;
    for (int i = 1; i <= 9; ++i) {
        const auto* row = about.findChild<QWidget*>(QStringLiteral("Credit%1").arg(i));
        ASSERT_NE(row, nullptr) << i;
        const QRect r(row->mapTo(panel, QPoint(0, 0)), row->size());
        EXPECT_EQ(r.height(), 25) << i;
        EXPECT_GE(r.top(), 208) << i;
        EXPECT_LE(r.bottom(), 445) << i;
        ++rows;
    }
    EXPECT_EQ(rows, 9);
    EXPECT_EQ(about.findChild<QWidget*>("Credit1")->mapTo(panel, QPoint(0, 0)).y(), 208);

    close->click();
    EXPECT_FALSE(about.isVisible());
}

} // namespace
