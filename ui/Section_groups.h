#ifndef UI_SECTION_GROUPS_H
#define UI_SECTION_GROUPS_H

class Database;
class SectionBar;

// Fills the bar anew: the groups "Толковые словари" (CATEGORY EXP), "Энциклопедии" (ENC) and
// "Другие" (any other, compared case-sensitively), each dictionary in the database's order under
// its short name, reporting its id; then the collapse and expand buttons, all groups expanded.
void FillSectionBar(SectionBar &bar, const Database &database, bool uniformColours);

#endif // UI_SECTION_GROUPS_H
