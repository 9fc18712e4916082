#include "core/filesets/catalogerror.h"

#include "engine/ktb_io.h"

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
