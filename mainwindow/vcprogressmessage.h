#pragma once
// A small stay-on-top box with a message and a bar that creeps forward by itself while a long instrument
// operation blocks, so the user sees the program is alive. It never reaches 100 on its own.

#include <QWidget>

#include <memory>

namespace Ui {
class ProgressMessage;
}

class CVCProgressMessage : public QWidget
{
    Q_OBJECT
public:
    explicit CVCProgressMessage(QWidget *parent);
    ~CVCProgressMessage() override;

    // Each call starts a further step chain; the value is kept.
    void Start();
    void SetMessage(const QString &text);
    void Stop();

public slots:
    void onTimeout();

protected:
    // Showing restarts the bar at 0; hiding stops it.
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void ArmStep();

    std::unique_ptr<Ui::ProgressMessage> ui;
    int m_interval;
    bool m_stopped;
};
