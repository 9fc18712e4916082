#pragma once
// The process-wide objects of a run, created and released in order around the main window.

/// The process-wide objects of a run: the registry g_filesetRegistry (which may ask its conversion question
/// while it loads), the owners index g_ownerIndex, the system icon list, the settings store, g_catalogList
/// and g_catalogSearch; released in reverse order. The application object must exist first.
class ProgramObjects {
public:
    ProgramObjects();
    ~ProgramObjects();
    ProgramObjects(const ProgramObjects&) = delete;
    ProgramObjects& operator=(const ProgramObjects&) = delete;
};

/// Installs the questions that the registry asks while it loads (the conversion of older files) and
/// the message boxes of the program.
void installProgramQuestions();
