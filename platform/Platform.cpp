#include "platform/Platform.h"

#include <QDesktopServices>
#include <QString>
#include <QThread>
#include <QUrl>

void SleepMilliseconds(int milliseconds)
{
    QThread::msleep(static_cast<unsigned long>(milliseconds));
}

bool OpenWithShell(const QString &target)
{
    return QDesktopServices::openUrl(QUrl(target, QUrl::TolerantMode));
}
