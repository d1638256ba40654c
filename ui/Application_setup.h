#ifndef UI_APPLICATION_SETUP_H
#define UI_APPLICATION_SETUP_H

// Names the program to the desktop and makes the toolkit's own texts (the font and colour
// dialogs, standard buttons) Russian like the program's, when Qt's Russian translation is
// installed. Window captions stay exactly as the program sets them: no program name is added.
// Call once, after the application object exists.
void SetUpApplication();
// The name alone, which the user's folders are named after: also before the application object.
void NameApplication();

#endif // UI_APPLICATION_SETUP_H
