#include "ui/Program_paths.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>

namespace {

std::string Folder(const QString &path)
{
    QDir().mkpath(path);
    return QDir::cleanPath(path).toStdString() + "/";
}

// Qt names no state folder before 6.7; this is where the desktop's base directories put it.
QString StateLocation()
{
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/state");
    return base + QLatin1Char('/') + QCoreApplication::applicationName();
}

} // namespace

ProgramPaths ProgramPathsIn(const std::string &programFolder)
{
    return {programFolder, programFolder, programFolder, std::string()};
}

bool IsWritableFolder(const std::string &folder)
{
    return access(folder.c_str(), W_OK) == 0;
}

ProgramPaths LocateProgramPaths(const std::string &programFolder, bool programFolderWritable)
{
    if (programFolderWritable)
        return ProgramPathsIn(programFolder);
    ProgramPaths paths;
    paths.programFolder = programFolder;
    paths.settingsFolder =
        Folder(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation));
    paths.logFolder = Folder(StateLocation());
    paths.userDicsFolder = Folder(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)
        + QStringLiteral("/dics"));
    return paths;
}
