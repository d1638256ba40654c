#ifndef SUPPORT_UTILS_H
#define SUPPORT_UTILS_H

#include <cstdint>
#include <string>

enum ResultCode : std::uint8_t
{
    RC_SUCCESS = 0,
    RC_NOT_FOUND = 1,
    RC_DATA_CORRUPT = 2,
    RC_WRITE_FAILED = 3,
};

// The one exception of the program's own code. Thrown only while a dictionary loads and caught
// in Dictionary::Load, which logs ErrorText of it.
struct VoException
{
    VoException(std::string where, std::int32_t line, std::uint8_t code);

    std::string where; // the raising function, spelt as its log tag
    std::int32_t line; // fixed number of the raise site
    std::int32_t code; // a ResultCode, widened
};

// "Data corrupt, Dictionary::LoadAttributes, 397"; a code without a text contributes nothing.
std::string ErrorText(const VoException &exception);

// Deletes the plain files directly inside the folder, then removes the folder if that left it
// empty. The path may end in "/" or "\". Subfolders and symbolic links are never followed nor
// deleted, the folder itself included: a path naming a link deletes nothing. Reports nothing.
void RemoveFolder(std::string folder);
// The same for the folder base/relative, where base is followed wherever it leads but no name of
// relative may be a symbolic link (nor ".."): each is opened inside the one before it, and the
// deletions go through those descriptors.
void RemoveFolderBelow(const std::string &base, const std::string &relative);

// Windows-1251 upper case: a-z and the small Cyrillic letters 0xE0-0xFF; everything else,
// the small yo (0xB8) included, is kept.
inline unsigned char ToUpperByte(unsigned char c)
{
    return ((c >= 'a' && c <= 'z') || c >= 0xE0) ? static_cast<unsigned char>(c - 0x20) : c;
}
std::string ToUpper(std::string text);

#endif // SUPPORT_UTILS_H
