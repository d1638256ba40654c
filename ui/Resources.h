#ifndef UI_RESOURCES_H
#define UI_RESOURCES_H

#include <QIcon>
#include <QImage>
#include <QString>

// The program's resources by their numbers: bitmaps 100-104 and string table entries 2-7.
QImage ResourceBitmap(int id);
QString ResourceString(int id);
QIcon ProgramIcon();

#endif // UI_RESOURCES_H
