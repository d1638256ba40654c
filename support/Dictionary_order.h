#ifndef SUPPORT_DICTIONARY_ORDER_H
#define SUPPORT_DICTIONARY_ORDER_H

#include <string>
#include <vector>

// The folder names held by a DIC_ORDER value, each ended by ";". Text after the last ";" is
// not a name. The first ";" is looked for from the second character on, so a value that
// begins with ";" keeps it as part of its first name; two ";" in a row give an empty name,
// which matches no folder.
std::vector<std::string> SplitDictionaryOrder(const std::string &value);

#endif // SUPPORT_DICTIONARY_ORDER_H
