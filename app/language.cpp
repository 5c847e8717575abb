#include "app/language.h"

#include "app/constants.h"
#include "app/storeconventions.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

namespace {

bool IsCustomLanguage(const QString &fileCode)
{
    return fileCode == QLatin1String("cl1") || fileCode == QLatin1String("cl2") || fileCode == QLatin1String("cl3");
}

} // namespace

CLanguage::CLanguage(QObject *parent, const QString &programFolder)
    : QObject(parent),
      m_programFolder(programFolder.isEmpty() ? QCoreApplication::applicationDirPath() : programFolder)
{
    Read();
}

QString CLanguage::ChoiceFilePath()
{
    return AppDataDir() + QLatin1Char('/') + QStringLiteral("Language") + QLatin1Char('.') + BinExtension();
}

QString CLanguage::GetLanguageCode() const
{
    return m_code;
}

QString CLanguage::GetDefaultLanguageCode() const
{
    return DefaultLanguageCode();
}

QString CLanguage::GetTranslationFileName() const
{
    return m_programFolder + QLatin1Char('/') + QCoreApplication::applicationName() + QLatin1Char('_') + m_code;
}

QStringList CLanguage::GetLanguageList() const
{
    // Rows whose display name is the language's own name in its own script, taken from the translation.
    SetLanguageDisplayName(1, tr("ja"));
    SetLanguageDisplayName(2, tr("zh"));
    SetLanguageDisplayName(4, tr("fr"));
    SetLanguageDisplayName(5, tr("es"));
    SetLanguageDisplayName(8, tr("ru"));
    SetLanguageDisplayName(9, tr("pt"));
    const QStringList englishNames = {
        tr("English"), tr("Japanese"),         tr("Simplified Chinese"), tr("German"),           tr("French"),
        tr("Spanish"), tr("Italian"),          tr("Polish"),             tr("Russian"),          tr("Portuguese"),
        tr("Custom Language1"), tr("Custom Language2"), tr("Custom Language3"),
    };

    QStringList list;
    const QVector<Language> &languages = Languages();
    for (int row = 0; row < languages.size() && row < englishNames.size(); ++row) {
        const Language &language = languages[row];
        const QString file = m_programFolder + QLatin1Char('/') + QCoreApplication::applicationName() +
                             QLatin1Char('_') + language.fileCode + QStringLiteral(".qm");
        if (!QFileInfo::exists(file))
            continue;
        if (IsCustomLanguage(language.fileCode))
            list.append(language.displayName + QLatin1Char(':') + language.fileCode);
        else
            list.append(language.displayName + QLatin1Char('(') + englishNames[row] + QStringLiteral("):") +
                        language.fileCode);
    }
    return list;
}

void CLanguage::Read()
{
    QFile file(ChoiceFilePath());
    if (!file.open(QIODevice::ReadOnly)) {
        m_code = GetDefaultLanguageCode();
        return;
    }
    QTextStream stream(&file);
    QString word;
    stream >> word;
    m_code = word;
}

void CLanguage::SetLanguageCode(const QString &code)
{
    m_code = code;
}

bool CLanguage::Write()
{
    QFile file(ChoiceFilePath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QTextStream stream(&file);
    stream << m_code;
    stream.flush();
    return stream.status() == QTextStream::Ok;
}
