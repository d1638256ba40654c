#ifndef UI_RESOURCES_H
#define UI_RESOURCES_H

#include <string>
#include <vector>

#include <QIcon>
#include <QImage>
#include <QString>

// The program's resources by their numbers: bitmaps 100-104 and string table entries 2-7.
QImage ResourceBitmap(int id);
QString ResourceString(int id);
QIcon ProgramIcon();

// What start-up says when no dictionary loaded: string 2, then the folders that were searched,
// one a line.
QString NoDictionaryMessage(const std::vector<std::string> &folders);

#endif // UI_RESOURCES_H
