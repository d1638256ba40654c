#ifndef PLATFORM_KEYBOARD_LAYOUT_H
#define PLATFORM_KEYBOARD_LAYOUT_H

// The keyboard layouts (groups) of the desktop, as far as the program switches them. Group
// numbers count from 0.
class KeyboardGroups
{
public:
    virtual ~KeyboardGroups() = default;
    // The first Russian group, or -1 when the user has none.
    virtual int RussianGroup() = 0;
    virtual int CurrentGroup() = 0;
    virtual void SelectGroup(int group) = 0;
};

// The input language belongs to the program's windows, not to the whole desktop: while one of
// them is active the user types in the program's own layout, Russian at first and later the one
// they last chose in the program; when none is, the layout they use elsewhere is given back.
// In the background, and without a Russian layout, the keyboard is never touched.
class ProgramLayout
{
public:
    explicit ProgramLayout(KeyboardGroups &keyboard)
        : keyboard(keyboard)
    {
    }

    void Activated();
    void Deactivated();

private:
    KeyboardGroups &keyboard;
    bool active = false;
    // The user's group outside the program while the program is active; -1 when it was left as
    // it was.
    int userGroup = -1;
    // The group the program's windows had when they were last left; -1 before that.
    int ownGroup = -1;
};

// Makes the program's windows follow ProgramLayout on an X11 desktop with XKB; elsewhere (no
// Russian layout, Wayland) does nothing. Once per application: later calls change nothing.
void KeepRussianLayoutInProgramWindows();

#endif // PLATFORM_KEYBOARD_LAYOUT_H
