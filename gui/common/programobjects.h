#pragma once
// The process-wide objects of a run, created and released in order around the main window.

/// The process-wide objects of a run: the registry FilesetList (which may ask its conversion question
/// while it loads), the owners index OwnerList, the system icon list, the settings store, ListHelper
/// and SearchHelper; released in reverse order. The application object must exist first.
class TProgramObjects {
public:
    TProgramObjects();
    ~TProgramObjects();
    TProgramObjects(const TProgramObjects&) = delete;
    TProgramObjects& operator=(const TProgramObjects&) = delete;
};

/// Installs the questions that the registry asks while it loads (the conversion of older files) and
/// the message boxes of the program.
void InstallProgramQuestions();
