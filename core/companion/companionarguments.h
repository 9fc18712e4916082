#pragma once
// The command line of a companion program (statistics, export, compare). The main window's Tools
// commands start one with "-ktbdir" and the storage folder as two arguments; a user may name catalog
// files or folders of catalogs instead.
//
//     katalox-statistics -ktbdir ~/.config/katalox/Filesets/
//     katalox-statistics Music.ktb ~/old-catalogs/

#include <QString>
#include <QStringList>

struct CompanionArguments {
    /// The storage folder given with -ktbdir; empty when none was given.
    QString storageFolder;
    /// Catalog files and folders of catalogs given by name, in the order given.
    QStringList catalogs;
    /// --help or -h was given.
    bool help = false;
    /// What is wrong with the command line, for the user; empty when it is sound.
    QString error;

    /// Reads the arguments after the program's name. "-ktbdir" takes the next argument as the storage
    /// folder (the last one given counts); "--" ends the options; any other argument starting with "-"
    /// is an error.
    static CompanionArguments parse(const QStringList& arguments);
    /// The usage text of a companion program: its name and what it does in a line.
    static QString usage(const QString& program, const QString& purpose);
};
