#pragma once
// Lists the data groups, adds new ones and picks the current one. Nothing reaches the stores here: the settings
// dialog takes the list and the chosen name and passes them on only when its own OK succeeds. Names become folder
// names, so Add and OK refuse what could not be one.

#include "chart/vcdialog.h"

#include <QString>
#include <QStringList>

#include <memory>

class CModel;

namespace Ui {
class SelectMeasDataEnvironmentDialog;
}

class CVCSelectMeasDataEnvironment : public CVCDialog
{
    Q_OBJECT
public:
    // Result codes of the refusals.
    enum Result {
        kNameEmpty = 602,
        kNameUnusable = 603,
        kNameDuplicate = 604,
    };

    explicit CVCSelectMeasDataEnvironment(CModel *model, QWidget *parent = nullptr);
    ~CVCSelectMeasDataEnvironment() override;

    void SetGroupNames(const QStringList &names);
    void SetSelectedName(const QString &name);
    QStringList GroupNames() const { return m_groupNames; }
    QString SelectedName() const { return m_selectedName; }

public slots:
    int exec() override;
    void pushAddClicked();
    void pushOKClicked();

private:
    void fillTable();
    // 0 when the name may be used beside the names before it, else the result code (its message reported).
    int checkName(const QString &name, const QStringList &before);

    std::unique_ptr<Ui::SelectMeasDataEnvironmentDialog> ui;
    CModel *m_model;
    QStringList m_groupNames;
    QString m_selectedName;
};
