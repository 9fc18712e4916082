#include "core/filesets/catalogerror.h"

#include "engine/ktb_io.h"

#include <pwd.h>
#include <unistd.h>
#include <vector>

CatalogError::CatalogError(TKTBERROR code, const QString& fileName)
    : std::runtime_error(buildMessage(code, fileName).toStdString())
    , code(code)
    , m_message(buildMessage(code, fileName))
{
}

QString CatalogError::buildMessage(TKTBERROR code, const QString& fileName)
{
    const QString lineEnd = QStringLiteral("\r\n");
    QString text = QStringLiteral("An error occurred in a KTB file");
    if (!fileName.isEmpty()) {
        text += lineEnd + QStringLiteral("File: ") + fileName;
    }
    text += lineEnd + QStringLiteral("Errormessage:") + QString::fromLatin1(ktbErrorName(code));
    if (code == KTB_ERR_BADENTITY) {
        TKTBErrorDetail detail;
        ktbErrorDetail(detail);
        text += lineEnd + lineEnd + QStringLiteral("Details: Token encountered: ") + QString::number(detail.Tag)
            + QStringLiteral(" at pos: ") + QString::number(detail.Offset);
    }
    return text;
}

FileError::FileError(const QString& message)
    : std::runtime_error(message.toStdString())
    , m_message(message)
{
}

namespace {

QString userText(std::uint32_t uid)
{
    struct passwd entry { };
    struct passwd* result = nullptr;
    std::vector<char> buffer(16384);
    if (::getpwuid_r(static_cast<uid_t>(uid), &entry, buffer.data(), buffer.size(), &result) == 0
        && result != nullptr) {
        return QStringLiteral("user ") + QString::fromLocal8Bit(entry.pw_name) + QStringLiteral(" (uid ")
            + QString::number(uid) + QLatin1Char(')');
    }
    return QStringLiteral("user id ") + QString::number(uid);
}

} // namespace

QString journalProblemText(const TKTBJournalProblem& problem)
{
    const QString blocked = QStringLiteral("nothing is changed while it is there");
    switch (problem.Trouble) {
    case TKTBJournalTrouble::ForeignOwner:
        return (problem.Link ? QStringLiteral("a symbolic link of ") : QStringLiteral("a file of "))
            + userText(problem.Owner) + QStringLiteral(", who is neither you nor the catalog's owner: it is never ")
            + (problem.Link ? QStringLiteral("followed") : QStringLiteral("used"))
            + QStringLiteral(" nor removed, and ") + blocked;
    case TKTBJournalTrouble::NotAFile:
        return QStringLiteral("not a plain file, and it cannot be removed: ") + blocked;
    case TKTBJournalTrouble::TooLarge:
        return QStringLiteral("larger than any journal of the catalog can be, so it is damaged: it is never used nor "
                              "removed, and ")
            + blocked;
    case TKTBJournalTrouble::None:
        break;
    }
    return {};
}

QString unsyncedChangeText()
{
    return QStringLiteral("done, but not yet safe on disk: the disk did not confirm it, and a power cut or system "
                          "crash now may still take the change back");
}
