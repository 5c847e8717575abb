#pragma once
// The environment and measurement options of the current user, the interface language and the data groups. The
// dialog edits a copy of the stored record; nothing reaches the stores until OK has passed every check.

#include "chart/vcdialog.h"

#include "app/records.h"
#include "app/settingrecords.h"

#include <QStringList>

#include <memory>

class CModel;
class QTreeWidgetItem;

namespace Ui {
class SettingDialog;
}

class CVCSetting : public CVCDialog
{
    Q_OBJECT
public:
    // Result codes of the dialog's own.
    enum Result {
        kLanguageNotStored = 601,
        kNoConditionSelected = 605,
    };

    // page: 0 "Measurement Option", 1 "Environment".
    CVCSetting(CModel *model, int page, QWidget *parent = nullptr);
    ~CVCSetting() override;

public slots:
    int exec() override;
    void done(int result) override;
    void itemColllapsedAndExpanded();
    void treeMeasureConditionItemChanged(QTreeWidgetItem *item);
    void treeMeasureConditionCurrentItemChanged(QTreeWidgetItem *current, QTreeWidgetItem *previous);
    void pushSavePathClicked();
    void spinColor5EditingFinished();
    void spinColor6EditingFinished();
    void spinColor7EditingFinished();
    void spinColor8EditingFinished();
    void pushDefaultClicked();
    void pushChangeClicked();

private:
    void fill();
    void fillChannels(const InkChannelList &inks);
    void colourSwatch(int channel);
    bool check();
    bool askOverwrite(const QString &name);
    int store();
    void gather();

    std::unique_ptr<Ui::SettingDialog> ui;
    CModel *m_model;
    int m_languageIndex = -1;
    QStringList m_groupNames;
    Setting::UserEnvironment m_environment;
    UserIlluminantSlots m_illuminants{};
};
