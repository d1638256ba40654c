#ifndef SUPPORT_USER_FOLDERS_H
#define SUPPORT_USER_FOLDERS_H

#include <string>

// The user's folders as the desktop's base directories name them: the variable's value when it
// is an absolute path, else the usual folder under the home folder ($HOME, or the account's
// when that is unset or relative). Empty when no home is known either; never a trailing "/".

// $XDG_DATA_HOME, else ~/.local/share.
std::string UserDataFolder();
// $XDG_CACHE_HOME, else ~/.cache.
std::string UserCacheFolder();

#endif // SUPPORT_USER_FOLDERS_H
