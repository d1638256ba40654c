#include "support/Dictionary_order.h"

#include <gtest/gtest.h>
#include <string>
#include <tuple>
#include <vector>

using Names = std::vector<std::string>;

TEST(SplitDictionaryOrderTest, TakesNamesEndedBySemicolons)
{
    const std::tuple<const char *, std::string, Names> rows[] = {
        {"three names", "a;b;c;", {"a", "b", "c"}},
        {"last name without semicolon dropped", "a;b;c", {"a", "b"}},
        {"leading semicolon joins the first name", ";a;", {";a"}},
        {"empty value", "", {}},
        {"lone semicolon", ";", {}},
        {"two semicolons", ";;", {";"}},
        {"empty name between semicolons", "a;;b;", {"a", "", "b"}},
        {"single character name", "a;", {"a"}},
        {"no semicolon at all", "tolk", {}},
        {"blanks kept", " my dic ;x;", {" my dic ", "x"}},
        {"cyrillic bytes", "\xF1\xEB\xEE\xE2\xE0\xF0\xFC;\xC0;",
            {"\xF1\xEB\xEE\xE2\xE0\xF0\xFC", "\xC0"}},
    };
    for (const auto &[name, value, names] : rows)
        EXPECT_EQ(SplitDictionaryOrder(value), names) << name;
}
