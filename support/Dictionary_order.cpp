#include "support/Dictionary_order.h"

std::vector<std::string> SplitDictionaryOrder(const std::string &value)
{
    std::vector<std::string> names;
    std::string::size_type start = 0;
    // Starting at 1 keeps an order saved with a leading ";" reading the way it always has.
    for (auto end = value.find(';', 1); end != std::string::npos; end = value.find(';', start)) {
        names.push_back(value.substr(start, end - start));
        start = end + 1;
    }
    return names;
}
