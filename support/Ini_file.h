#ifndef SUPPORT_INI_FILE_H
#define SUPPORT_INI_FILE_H

#include <cstdint>
#include <map>
#include <string>

// key=value settings, read once and written whole. Lines end in CR LF on disk; text is stored
// byte for byte. Keys are case-sensitive and kept in unsigned byte order.
class IniFile
{
public:
    // Records the path and adds the file's entries; a missing file, or anything that is not a
    // plain file, adds none. A symbolic link is followed only to a settings file (key=value
    // lines) of this user's own: anything else it reaches is neither read nor replaced.
    void Load(std::string path);
    // Replaces the file at the recorded path. The old file is replaced only once the new one is
    // complete, so a failed save leaves it as it was; a file the user may not write (or that has
    // no write permission at all) is left as it is too. Failures are not reported.
    void Save();

    // Leaves value untouched and returns false when the key is absent.
    bool GetString(std::string key, std::string &value) const;
    // strtol rules in base 10, clamped to 32 bits; false (value untouched) for an absent or
    // empty value.
    bool GetInt(std::string key, std::int32_t &value) const;
    void SetString(std::string key, std::string value);
    void SetInt(std::string key, std::int32_t value);

    const std::string &GetFileName() const { return fileName; }

private:
    std::string fileName;
    std::map<std::string, std::string> values;
};

#endif // SUPPORT_INI_FILE_H
