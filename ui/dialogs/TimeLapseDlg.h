// "Time Lapse": takes a series of photos at a fixed interval by pressing the
// window's Release command on a one-second timer (rules: TimeLapseSchedule).
// While it is open every error the window reports comes to onError, which
// abandons a running sequence.
#ifndef QUILLOMAT_UI_DIALOGS_TIMELAPSEDLG_H
#define QUILLOMAT_UI_DIALOGS_TIMELAPSEDLG_H

#include "TimeLapseClock.h"
#include "TimeLapseSchedule.h"

#include <QDialog>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <optional>

class Prompts;
class QLineEdit;
class QPushButton;
class TimeLapseHost;

class CTimeLapseDlg : public QDialog {
    Q_OBJECT

public:
    CTimeLapseDlg(TimeLapseHost &host, Prompts &prompts, QWidget *parent = nullptr);

    // The clock the sequence runs on, in whole seconds; by default the
    // steady clock counted from each Start (TimeLapseClock).
    void setClock(TimeLapseSchedule::WallClock clock);
    // How often the timer ticks; a second unless a test wants it faster.
    void setTickPeriod(std::chrono::milliseconds period);

    // The Start/Stop button.
    void startOrStop();
    // One timer tick.
    void tick();
    // An error the window would otherwise show in its own box.
    void onError(const QString &text);
    // Cancel, Escape and closing the dialog.
    void reject() override;

    bool isRunning() const { return m_schedule.isRunning(); }
    int32_t shotsTaken() const { return m_schedule.shotsTaken(); }
    // The values as last read from the fields.
    int32_t interval() const { return m_interval; }
    int32_t shotCount() const { return m_shotCount; }
    int32_t initialDelay() const { return m_initialDelay; }

    // A field's text read as the platform reads an integer field.
    static std::optional<int32_t> parseInteger(const QString &text);

private:
    // Reads interval, shot count and initial delay, in that order; the first
    // that does not parse is refused, and it and the ones after it keep
    // their values. False when one was refused.
    bool readFields();
    bool readField(QLineEdit *edit, int32_t &value);
    void stopSequence();
    int64_t now() const;

    TimeLapseHost &m_host;
    Prompts &m_prompts;
    int32_t m_interval = 10;
    int32_t m_shotCount = 1;
    int32_t m_initialDelay = 0;
    bool m_errorSeen = false;
    // From a Release until the next tick: an error in between means the
    // camera refused that release at once (card full, lock refused, ...).
    bool m_releaseUnconfirmed = false;
    TimeLapseSchedule::WallClock m_clock;
    TimeLapseClock m_sequenceClock;
    TimeLapseSchedule m_schedule;
    QTimer m_timer;

    QLineEdit *m_shotCountEdit = nullptr;
    QLineEdit *m_initialDelayEdit = nullptr;
    QLineEdit *m_intervalEdit = nullptr;
    QLineEdit *m_statusLine = nullptr;
    QPushButton *m_startButton = nullptr;
    QPushButton *m_cancelButton = nullptr;
};

#endif
