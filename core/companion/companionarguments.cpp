#include "core/companion/companionarguments.h"

CompanionArguments CompanionArguments::parse(const QStringList& arguments)
{
    CompanionArguments parsed;
    bool options = true;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (!options || !argument.startsWith(QLatin1Char('-')) || argument == QStringLiteral("-")) {
            parsed.catalogs.append(argument);
        } else if (argument == QStringLiteral("--")) {
            options = false;
        } else if (argument == QStringLiteral("--help") || argument == QStringLiteral("-h")) {
            parsed.help = true;
        } else if (argument.compare(QStringLiteral("-ktbdir"), Qt::CaseInsensitive) == 0) {
            if (i + 1 >= arguments.size()) {
                parsed.error = QStringLiteral("-ktbdir needs a folder");
                return parsed;
            }
            parsed.storageFolder = arguments.at(++i);
        } else {
            parsed.error = QStringLiteral("unknown option '%1'").arg(argument);
            return parsed;
        }
    }
    return parsed;
}

QString CompanionArguments::usage(const QString& program, const QString& purpose)
{
    return QStringLiteral("Usage: %1 [-ktbdir FOLDER] [FILE|FOLDER...]\n"
                          "%2\n"
                          "Without catalogs named, it shows the filesets Katalox shows: those of the storage\n"
                          "FOLDER and of the managed locations. Given catalog files or folders of catalogs, it\n"
                          "shows those instead. Catalogs are only read, also while Katalox runs.\n")
        .arg(program, purpose);
}
