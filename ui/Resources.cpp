#include "ui/Resources.h"

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
    // get a sharp picture without an SVG renderer. Given with their sizes, the files are decoded
    // only when a size is first drawn rather than all of them here.
    QIcon icon;
    for (const int size : {16, 22, 32, 48, 64, 128})
        icon.addFile(QStringLiteral(":/icons/kalvora-%1.png").arg(size), QSize(size, size));
    return icon;
}

QString NoDictionaryMessage(const std::vector<std::string> &folders)
{
    QString text = ResourceString(2) + QStringLiteral("\n\nСловари искались в папках:");
    for (const std::string &folder : folders)
        text += QLatin1Char('\n') + QString::fromStdString(folder);
    return text;
}
