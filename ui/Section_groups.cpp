#include "ui/Section_groups.h"

#include <cstdint>

#include "controls/Button_section_bar.h"
#include "storage/Database.h"
#include "ui/Ansi_text.h"
#include "ui/Resources.h"

void FillSectionBar(SectionBar &bar, const Database &database, bool uniformColours)
{
    bar.Clear();
    bar.SetUniformColours(uniformColours);
    bar.AddSection(ResourceBitmap(101), ResourceString(3), SectionKind::Group);
    bar.AddSection(ResourceBitmap(102), ResourceString(4), SectionKind::Group);
    bar.AddSection(ResourceBitmap(100), ResourceString(5), SectionKind::Group);
    for (std::int32_t i = 0; i < database.GetCount(); ++i) {
        const Dictionary *dictionary = database.GetDictionary(i);
        const DictionaryAttributes &attributes = dictionary->GetAttributes();
        const int section = attributes.category == "EXP" ? 0 : attributes.category == "ENC" ? 1 : 2;
        bar.AddItem(section, ToQString(attributes.shortName), dictionary->GetId());
    }
    bar.AddSection(ResourceBitmap(103), ResourceString(6), SectionKind::CollapseAll);
    bar.AddSection(ResourceBitmap(104), ResourceString(7), SectionKind::ExpandAll);
    bar.ExpandAllSections();
}
