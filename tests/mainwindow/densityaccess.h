#pragma once
// Tests reach the density-balance window's form and members through this friend.

#include "mainwindow/vcadjustdensity.h"
#include "ui_adjustdensity.h"

class CVCAdjustDensityAccess
{
public:
    static Ui::AdjustDensity *Form(CVCAdjustDensity *w) { return w->ui.get(); }
    static QMenu *ChartMenu(CVCAdjustDensity *w) { return w->m_menuChart; }
    static QMenu *MeasureMenu(CVCAdjustDensity *w) { return w->m_menuMeasure; }
    static QMenu *MultiMenu(CVCAdjustDensity *w) { return w->m_menuMulti; }
    static QMenu *ChartLayoutZoomMenu(CVCAdjustDensity *w) { return w->m_menuChartLayoutZoom; }
    static QMenu *HandyZoomMenu(CVCAdjustDensity *w) { return w->m_menuHandyChartLayoutZoom; }
    static QMenu *MeasurePointZoomMenu(CVCAdjustDensity *w) { return w->m_menuMeasurePointZoom; }
    static int &ChartLayoutPage(CVCAdjustDensity *w) { return w->m_chartLayoutPage; }
    static int &HandyPage(CVCAdjustDensity *w) { return w->m_handyPage; }
    static int &MeasurePointPage(CVCAdjustDensity *w) { return w->m_measurePointPage; }
    static bool &Opened(CVCAdjustDensity *w) { return w->m_opened; }
    static bool &NewChartDisplay(CVCAdjustDensity *w) { return w->m_newChartDisplay; }
    static bool &NewHandyDisplay(CVCAdjustDensity *w) { return w->m_newHandyDisplay; }
    static bool &NewMeasurePointDisplay(CVCAdjustDensity *w) { return w->m_newMeasurePointDisplay; }
    static bool &PatchSelected(CVCAdjustDensity *w) { return w->m_patchSelected; }
    static int &SelectedArea(CVCAdjustDensity *w) { return w->m_selectedArea; }
    static int &SelectedRow(CVCAdjustDensity *w) { return w->m_selectedRow; }
    static int &SelectedColumn(CVCAdjustDensity *w) { return w->m_selectedColumn; }
    static int &CurrentTab(CVCAdjustDensity *w) { return w->m_currentTab; }
    static CVCMeasureDataSave *SaveDialog(CVCAdjustDensity *w) { return w->m_measureDataSave; }
    static QMessageBox &NoticeBox(CVCAdjustDensity *w) { return w->m_noticeBox; }
    static CVCProgressMessage *ProgressBox(CVCAdjustDensity *w) { return w->m_progressMessage; }
    static bool &Busy(CVCAdjustDensity *w) { return w->m_busy; }
    static int &TemplateRow(CVCAdjustDensity *w) { return w->m_templateRow; }
    static int &InstrumentNumber(CVCAdjustDensity *w) { return w->m_instrumentNumber; }
    static int &TemplateSecondNumber(CVCAdjustDensity *w) { return w->m_templateSecondNumber; }
    static int &TemplateFirstNumber(CVCAdjustDensity *w) { return w->m_templateFirstNumber; }
    static QLabel *OrloStatusLabel(CVCAdjustDensity *w) { return w->m_labelOrloStatus; }
    static QLabel *OrloConnectLabel(CVCAdjustDensity *w) { return w->m_labelOrloConnect; }
    static QLabel *HandyConnectLabel(CVCAdjustDensity *w) { return w->m_labelHandyConnect; }
    static int &HandyResult(CVCAdjustDensity *w) { return w->m_handyResult; }
    static int &HandyKind(CVCAdjustDensity *w) { return w->m_handyKind; }
    static int &HandySerial(CVCAdjustDensity *w) { return w->m_handySerial; }
    static QString &SentFilePath(CVCAdjustDensity *w) { return w->m_sentFilePath; }
    static QList<QPair<QString, QString>> &PendingUploads(CVCAdjustDensity *w) { return w->m_pendingUploads; }
    static int &LastOrloStatus(CVCAdjustDensity *w) { return w->m_lastOrloStatus; }

    // Sets the window up for a template row and an instrument as opening would, without the selection dialog:
    // members, instrument bindings and the chart list.
    static void UseTemplate(CVCAdjustDensity *w, int templateRow, int instrumentNumber)
    {
        w->m_templateRow = templateRow;
        w->m_instrumentNumber = instrumentNumber;
        w->ConnectInstrumentActions();
        w->ReloadChartList();
    }

    // What the frame's paint does for the canvas.
    static void KeepFittedViews(CVCAdjustDensity *w) { w->KeepFittedViews(); }
};
