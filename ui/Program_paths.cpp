#include "ui/Program_paths.h"

#include <cstdlib>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "support/User_folders.h"

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

// Everything under /usr belongs to the package manager. A program installed there writes nothing
// beside itself, not even when the administrator runs it: removing the package would leave the
// folder behind.
bool IsSystemFolder(const std::string &folder)
{
    const QString given = QString::fromStdString(folder);
    QString path = QFileInfo(given).canonicalFilePath();
    if (path.isEmpty())
        path = QDir::cleanPath(given);
    return path == QStringLiteral("/usr") || path.startsWith(QStringLiteral("/usr/"));
}

} // namespace

bool operator==(const ProgramPaths &a, const ProgramPaths &b)
{
    return a.programFolder == b.programFolder && a.settingsFolder == b.settingsFolder
        && a.logFolder == b.logFolder && a.userDicsFolder == b.userDicsFolder;
}

std::string ExecutableFolder()
{
    // The link the toolkit resolves too.
    char *path = realpath("/proc/self/exe", nullptr);
    if (!path)
        return std::string();
    std::string folder = path;
    std::free(path);
    const std::size_t slash = folder.rfind('/');
    if (slash == std::string::npos)
        return std::string();
    folder.resize(slash);
    if (folder.empty())
        folder = "/";
    return folder + "/";
}

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
    if (programFolderWritable && !IsSystemFolder(programFolder))
        return ProgramPathsIn(programFolder);
    ProgramPaths paths;
    paths.programFolder = programFolder;
    paths.settingsFolder =
        Folder(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation));
    paths.logFolder = Folder(StateLocation());
    const std::string data = UserDataFolder();
    if (!data.empty())
        paths.userDicsFolder = Folder(QString::fromStdString(data) + QLatin1Char('/')
            + QCoreApplication::applicationName() + QStringLiteral("/dics"));
    return paths;
}
