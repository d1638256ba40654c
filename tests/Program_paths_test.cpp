#include "ui/Program_paths.h"

#include <unistd.h>

#include <QtTest>

#include "Test_folder.h"

class ProgramPathsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void systemFoldersAreNeverWritten_data();
    void systemFoldersAreNeverWritten();

private:
    TestFolder home;
    TestFolder portable;
};

void ProgramPathsTest::initTestCase()
{
    QCoreApplication::setApplicationName(QStringLiteral("kalvora"));
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(home.Path() + "config"));
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(home.Path() + "data"));
    qputenv("XDG_STATE_HOME", QByteArray::fromStdString(home.Path() + "state"));
    QCOMPARE(symlink("/usr/lib", (portable.Path() + "usr-lib").c_str()), 0);
}

void ProgramPathsTest::systemFoldersAreNeverWritten_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<bool>("writable");
    QTest::addColumn<bool>("userFolders");

    const QString own = QString::fromStdString(portable.Path());
    QTest::newRow("own folder") << own << true << false;
    QTest::newRow("folder it may not write") << own << false << true;
    // The administrator may write anywhere: the place decides.
    QTest::newRow("installed, run as root") << QString("/usr/lib/kalvora/") << true << true;
    QTest::newRow("installed locally") << QString("/usr/local/lib/kalvora/") << true << true;
    QTest::newRow("reached through a link") << own + "usr-lib/" << true << true;
    QTest::newRow("only a similar name") << QString("/usrdata/kalvora/") << true << false;
}

void ProgramPathsTest::systemFoldersAreNeverWritten()
{
    QFETCH(QString, folder);
    QFETCH(bool, writable);
    QFETCH(bool, userFolders);

    const std::string programFolder = folder.toStdString();
    const ProgramPaths paths = LocateProgramPaths(programFolder, writable);
    QCOMPARE(paths.programFolder, programFolder);
    QCOMPARE(paths.settingsFolder, userFolders ? home.Path() + "config/kalvora/" : programFolder);
    QCOMPARE(paths.logFolder, userFolders ? home.Path() + "state/kalvora/" : programFolder);
    QCOMPARE(
        paths.userDicsFolder, userFolders ? home.Path() + "data/kalvora/dics/" : std::string());
}

QTEST_GUILESS_MAIN(ProgramPathsTest)
#include "Program_paths_test.moc"
