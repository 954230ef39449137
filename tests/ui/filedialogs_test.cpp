#include "widgets/filedialogs.h"

#include "support/qt_printers.h"
#include "support/ui/choose_file.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

namespace
{

// Runs handle on the file dialog once it is shown modally. A second modal window on top of
// it (an overwrite prompt) is closed and recorded, so the test fails instead of hanging.
// Its polls belong to it and end with it, so a finished test's driver never acts later.
struct DialogDriver {
    std::function<void(QFileDialog&)> handle;
    bool handled = false;
    QString unexpected;
    QObject polls;

    // Starts over for the next dialog, with a new handler.
    void arm(std::function<void(QFileDialog&)> next = {})
    {
        if (next) {
            handle = std::move(next);
            handled = false;
            unexpected.clear();
        }
        QTimer::singleShot(10, &polls, [this] { poll(); });
    }
    void poll()
    {
        QWidget* w = QApplication::activeModalWidget();
        auto* dialog = qobject_cast<QFileDialog*>(w);
        if (!handled && dialog) {
            handled = true;
            handle(*dialog);
        } else if (handled && w && !dialog) {
            unexpected = w->metaObject()->className();
            w->close();
        }
        if (w)
            QTimer::singleShot(10, &polls, [this] { poll(); });
    }
};

FileDialogRequest request(const QString& dir, const QString& name)
{
    FileDialogRequest r;
    r.title = QStringLiteral("Вибір файлу для запису параметрів конфігурації");
    r.dir = dir;
    r.filters = CnfFileFilters();
    r.filterIndex = 0;
    r.fileName = name;
    return r;
}

} // namespace

TEST(QtFileDialogs, SaveOffersTheNameAndNeitherPromptsNorAddsASuffix)
{
    QTemporaryDir tmp;
    const QString existing = tmp.filePath("old.cnf");
    {
        QFile f(existing);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    DialogDriver driver;
    driver.handle = [&](QFileDialog& d) {
        EXPECT_EQ(d.windowTitle(),
                  QStringLiteral("Вибір файлу для запису параметрів конфігурації"));
        EXPECT_EQ(d.acceptMode(), QFileDialog::AcceptSave);
        EXPECT_TRUE(d.testOption(QFileDialog::DontConfirmOverwrite));
        EXPECT_TRUE(d.defaultSuffix().isEmpty());
        EXPECT_EQ(d.nameFilters(), CnfFileFilters());
        EXPECT_EQ(d.selectedNameFilter(), QStringLiteral("Data Files (*.cnf)"));
        EXPECT_EQ(QDir(d.directory()).canonicalPath(), QDir(tmp.path()).canonicalPath());
        EXPECT_EQ(d.selectedFiles().value(0), existing);
        static_cast<QDialog&>(d).accept();
    };
    driver.arm();
    QtFileDialogs dialogs;
    EXPECT_EQ(dialogs.saveFile(request(tmp.path(), existing)), existing);
    EXPECT_TRUE(driver.handled);
    EXPECT_TRUE(driver.unexpected.isEmpty()) << driver.unexpected.toStdString();

    // A typed name without extension comes back as typed.
    const QString bare = tmp.filePath("bare");
    driver.arm([&](QFileDialog& d) { ChooseFileAndAccept(d, bare); });
    EXPECT_EQ(dialogs.saveFile(request(tmp.path(), existing)), bare);
}

TEST(QtFileDialogs, OpenWantsAnExistingFileAndCancelGivesNothing)
{
    QTemporaryDir tmp;
    const QString file = tmp.filePath("a.cnf");
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    FileDialogRequest r = request(tmp.path(), {});
    r.title = QStringLiteral("Вибір файлу з параметрами конфігурації");

    DialogDriver driver;
    driver.handle = [&](QFileDialog& d) {
        EXPECT_EQ(d.windowTitle(), r.title);
        EXPECT_EQ(d.acceptMode(), QFileDialog::AcceptOpen);
        EXPECT_EQ(d.fileMode(), QFileDialog::ExistingFile);
        EXPECT_EQ(d.selectedNameFilter(), QStringLiteral("Data Files (*.cnf)"));
        ChooseFileAndAccept(d, file);
    };
    driver.arm();
    QtFileDialogs dialogs;
    EXPECT_EQ(dialogs.openFile(r), file);

    driver.arm([](QFileDialog& d) { static_cast<QDialog&>(d).reject(); });
    EXPECT_TRUE(dialogs.openFile(r).isEmpty());
}
