#pragma once
// The language chosen for the user interface, kept as a file code in "Language.bin" in the per-user data folder;
// a new choice takes effect at the next start.

#include <QObject>
#include <QString>
#include <QStringList>

class CLanguage : public QObject
{
    Q_OBJECT
public:
    // programFolder: where the translation files lie (default: the program's folder). Reads the choice file.
    explicit CLanguage(QObject *parent = nullptr, const QString &programFolder = QString());

    QString GetLanguageCode() const;
    QString GetDefaultLanguageCode() const;
    // "display(English name):code" for every language whose translation file exists, "display:code" for the
    // custom ones.
    QStringList GetLanguageList() const;
    // Program folder + "/" + application name + "_" + code, without the ".qm" the translator adds.
    QString GetTranslationFileName() const;

    // The first word of the choice file; the default code when it cannot be opened.
    void Read();
    void SetLanguageCode(const QString &code);
    // Writes the code without a line end; false when the file cannot be opened.
    bool Write();

    static QString ChoiceFilePath();

private:
    QString m_code;
    QString m_programFolder;
};
