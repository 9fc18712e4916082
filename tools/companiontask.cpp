#include "tools/companiontask.h"

#include "core/companion/companioncatalogs.h"

#include <QFile>
#include <cstdio>

namespace ktbtool {

std::string terminalText(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    return displayText(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

QString pathText(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }

void printCsv(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stdout);
}

bool reportProblems(const char* command, const CompanionCatalogs& catalogs)
{
    for (const CatalogProblem& problem : catalogs.problems()) {
        const std::string path = terminalText(problem.path);
        reportError(command,
            problem.code == KTB_OK ? path + ": no such file or folder" : path + ": " + describeCode(problem.code));
    }
    return !catalogs.problems().empty();
}

void loadOperands(
    const char* command, CompanionCatalogs& catalogs, const std::vector<std::string>& operands, bool& failed)
{
    for (const std::string& operand : operands) {
        catalogs.addPath(pathText(operand));
    }
    failed = reportProblems(command, catalogs) || failed;
}

bool reportFaults(const char* command, const QStringList& faults)
{
    for (const QString& fault : faults) {
        reportError(command, terminalText(fault));
    }
    return !faults.isEmpty();
}

bool takeSwitch(std::vector<std::string>& arguments, const std::string& name)
{
    bool given = false;
    std::vector<std::string> rest;
    bool optionsEnded = false;
    for (const std::string& argument : arguments) {
        if (!optionsEnded && argument == name) {
            given = true;
            continue;
        }
        optionsEnded = optionsEnded || argument == "--";
        rest.push_back(argument);
    }
    arguments.swap(rest);
    return given;
}

} // namespace ktbtool
