#include "ui/Resources.h"

#include <QDir>

QImage ResourceBitmap(int id)
{
    return QImage(QStringLiteral(":/bitmaps/%1.png").arg(id)).convertToFormat(QImage::Format_RGB32);
}

QString ResourceString(int id)
{
    switch (id) {
    case 2:
        return QStringLiteral("Не найдено ни одного словаря");
    case 3:
        return QStringLiteral("Толковые словари");
    case 4:
        return QStringLiteral("Энциклопедии");
    case 5:
        return QStringLiteral("Другие");
    case 6:
        return QStringLiteral("Свернуть");
    case 7:
        return QStringLiteral("Развернуть");
    default:
        return QString();
    }
}

QIcon ProgramIcon()
{
    // Every size drawn for the icon, so that the notification area and the window frame each
    // get a sharp picture without depending on an SVG renderer.
    QIcon icon;
    const QDir folder(QStringLiteral(":/icons"));
    for (const QString &name : folder.entryList({QStringLiteral("*.png")}, QDir::Files))
        icon.addFile(folder.filePath(name));
    if (icon.isNull())
        icon.addFile(QStringLiteral(":/icons/kalvora.svg"));
    return icon;
}
