// Opening a port that this user may not use, or that another program holds: the port is
// still listed, and the failure gives the reason the operator can act on. Root may open any
// device, so the cases run as nobody.

#include "link/comportfunctions.h"

#include "support/sim_com.h"
#include "support/unprivileged.h"

#include <QFile>

#include <gtest/gtest.h>

#include <grp.h>
#include <sys/stat.h>

namespace
{

constexpr int kSimCom = 7;

class ComPortAccess : public SimComTest
{
protected:
    ComPortAccess() : SimComTest(kSimCom) {}
};

QString owningGroup(const QString& path)
{
    struct stat st {
    };
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return QString();
    const group* g = ::getgrgid(st.st_gid);
    return g ? QString::fromLocal8Bit(g->gr_name) : QString::number(st.st_gid);
}

TEST_F(ComPortAccess, HeldByAnotherOrNotPermitted)
{
    RUN_UNPRIVILEGED();

    auto holder = openCom();
    ASSERT_TRUE(holder) << "the first open succeeds";
    ComOpenError busy;
    EXPECT_EQ(openCom(&busy), nullptr);
    EXPECT_EQ(busy.error, QSerialPort::PermissionError);
    EXPECT_TRUE(busy.busy);
    EXPECT_TRUE(busy.group.isEmpty()) << "no group to join: the user may use the device";
    EXPECT_TRUE(busy.text().contains(QStringLiteral("порт зайнятий іншою програмою")))
        << busy.text().toStdString();
    EXPECT_TRUE(ComPortPresent(kSimCom)) << "a busy port is still offered";
    holder.reset();

    const QString device = sim.slavePath();
    ASSERT_TRUE(QFile::setPermissions(device, QFile::Permissions()));
    ComOpenError denied;
    EXPECT_EQ(openCom(&denied), nullptr);
    EXPECT_EQ(denied.error, QSerialPort::PermissionError);
    EXPECT_FALSE(denied.busy);
    EXPECT_EQ(denied.device, device);
    const QString group = owningGroup(device);
    ASSERT_FALSE(group.isEmpty());
    EXPECT_EQ(denied.group, group);
    EXPECT_TRUE(denied.text().startsWith(device + QStringLiteral(": ")));
    EXPECT_TRUE(denied.text().endsWith(
        QStringLiteral(". Користувач має входити до групи %1, якій належить пристрій").arg(group)))
        << denied.text().toStdString();
    EXPECT_TRUE(ComPortPresent(kSimCom)) << "a port the user may not use is still offered";
}

} // namespace
