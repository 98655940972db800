#include "TimeLapseDlg.h"

#include "Prompts.h"
#include "TimeLapseHost.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QString kStart = QStringLiteral("Start");
const QString kStop = QStringLiteral("Stop");
// The window's own texts for a camera that has gone and for no camera at all.
const QString kCameraLost = QStringLiteral("Camera error, please turn camera off and try again");
const QString kNotConnected = QStringLiteral("Not connected to camera");

QLineEdit *numberField(const char *objectName, QWidget *parent)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(objectName));
    edit->setMaxLength(12);
    return edit;
}

QLabel *fieldLabel(const char *caption, const char *objectName, QLineEdit *buddy, QWidget *parent)
{
    auto *label = new QLabel(QString::fromLatin1(caption), parent);
    label->setObjectName(QString::fromLatin1(objectName));
    label->setBuddy(buddy);
    return label;
}

}  // namespace

CTimeLapseDlg::CTimeLapseDlg(TimeLapseHost &host, Prompts &prompts, QWidget *parent)
    : QDialog(parent),
      m_host(host),
      m_prompts(prompts),
      m_schedule([this] { return now(); }, [this] { return m_host.isBusy(); })
{
    setObjectName(QStringLiteral("timeLapseDialog"));
    setWindowTitle(QStringLiteral("Time Lapse"));
    setModal(true);

    m_shotCountEdit = numberField("shotCountEdit", this);
    m_initialDelayEdit = numberField("initialDelayEdit", this);
    m_intervalEdit = numberField("intervalEdit", this);
    m_statusLine = new QLineEdit(this);
    m_statusLine->setObjectName(QStringLiteral("timeLapseStatus"));
    m_statusLine->setReadOnly(true);
    m_startButton = new QPushButton(kStart, this);
    m_startButton->setObjectName(QStringLiteral("startButton"));
    m_startButton->setDefault(true);
    m_cancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancelButton->setObjectName(QStringLiteral("cancelButton"));
    m_cancelButton->setAutoDefault(false);

    auto *fields = new QGridLayout;
    fields->addWidget(fieldLabel("Number of shots in the sequence:", "shotCountLabel", m_shotCountEdit, this), 0, 0);
    fields->addWidget(m_shotCountEdit, 0, 1);
    fields->addWidget(
        fieldLabel("Initial delay before first shot (secs):", "initialDelayLabel", m_initialDelayEdit, this), 1, 0);
    fields->addWidget(m_initialDelayEdit, 1, 1);
    fields->addWidget(fieldLabel("Interval between shots (secs):", "intervalLabel", m_intervalEdit, this), 2, 0);
    fields->addWidget(m_intervalEdit, 2, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_startButton);
    buttons->addWidget(m_cancelButton);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addWidget(m_statusLine);
    layout->addLayout(buttons);

    m_shotCountEdit->setText(QString::number(m_shotCount));
    m_initialDelayEdit->setText(QString::number(m_initialDelay));
    m_intervalEdit->setText(QString::number(m_interval));

    // Precise: a coarse timer may drift by up to 5% of its period.
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(std::chrono::milliseconds(1000));
    connect(&m_timer, &QTimer::timeout, this, &CTimeLapseDlg::tick);
    connect(m_startButton, &QPushButton::clicked, this, &CTimeLapseDlg::startOrStop);
    connect(m_cancelButton, &QPushButton::clicked, this, &CTimeLapseDlg::reject);
}

void CTimeLapseDlg::setClock(TimeLapseSchedule::WallClock clock)
{
    m_clock = std::move(clock);
}

void CTimeLapseDlg::setTickPeriod(std::chrono::milliseconds period)
{
    m_timer.setInterval(period);
}

int64_t CTimeLapseDlg::now() const
{
    return m_clock ? m_clock() : m_sequenceClock.seconds();
}

std::optional<int32_t> CTimeLapseDlg::parseInteger(const QString &text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    if (!ok)
        return std::nullopt;
    return value;
}

bool CTimeLapseDlg::readField(QLineEdit *edit, int32_t &value)
{
    const std::optional<int32_t> typed = parseInteger(edit->text());
    if (typed) {
        value = *typed;
        return true;
    }
    m_prompts.message(this, Prompts::Icon::Refusal, Prompts::programCaption(), QStringLiteral("Please enter an integer."));
    edit->setFocus();
    edit->selectAll();
    return false;
}

bool CTimeLapseDlg::readFields()
{
    return readField(m_intervalEdit, m_interval) && readField(m_shotCountEdit, m_shotCount)
           && readField(m_initialDelayEdit, m_initialDelay);
}

void CTimeLapseDlg::stopSequence()
{
    m_timer.stop();
    m_schedule.stop();
    m_startButton->setText(kStart);
}

void CTimeLapseDlg::startOrStop()
{
    if (m_schedule.isRunning()) {
        stopSequence();
        m_statusLine->setText(QString::fromStdString(TimeLapseSchedule::abandonedText()));
        m_host.ensureConnected();
        return;
    }

    m_errorSeen = false;
    // A refused field keeps its value and the sequence goes on with it.
    readFields();
    if (m_shotCount <= 0) {
        m_prompts.message(this, Prompts::Icon::Error, QStringLiteral("Error"),
                          QString::fromStdString(TimeLapseSchedule::noShotsText()));
        return;
    }
    // Without a camera every Release would do nothing and the sequence
    // would still report itself completed.
    if (!m_host.ensureConnected()) {
        m_statusLine->setText(kNotConnected);
        return;
    }
    m_sequenceClock = TimeLapseClock();
    m_releaseUnconfirmed = false;
    m_schedule.start(m_interval, m_shotCount, m_initialDelay);
    m_timer.start();
    m_startButton->setText(kStop);
}

void CTimeLapseDlg::tick()
{
    // A tick queued before the sequence ended.
    if (!m_schedule.isRunning())
        return;
    m_releaseUnconfirmed = false;
    // A camera that went away without an error reaching us: its shots would
    // silently not be taken.
    if (!m_host.isConnected()) {
        onError(kCameraLost);
        return;
    }
    const TimeLapseSchedule::Tick result = m_schedule.tick();
    switch (result.action) {
    case TimeLapseSchedule::Action::Release:
        // An error it reports at once arrives in onError before this returns;
        // one the camera sends back arrives before the next tick.
        m_releaseUnconfirmed = true;
        m_host.release();
        break;
    case TimeLapseSchedule::Action::Completed:
        stopSequence();
        break;
    case TimeLapseSchedule::Action::None:
        break;
    }
    if (!m_errorSeen)
        m_statusLine->setText(QString::fromStdString(result.status));
}

void CTimeLapseDlg::onError(const QString &text)
{
    m_errorSeen = true;
    if (m_schedule.isRunning()) {
        // The abandon text counts the photos taken, not a refused release.
        if (m_releaseUnconfirmed)
            m_schedule.withdrawLastShot();
        stopSequence();
        m_statusLine->setText(QString::fromStdString(TimeLapseSchedule::errorAbandonText(m_schedule.shotsTaken())));
    }
    m_prompts.message(this, Prompts::Icon::Error, QStringLiteral("ERROR"), text);
    m_host.ensureConnected();
}

void CTimeLapseDlg::reject()
{
    if (m_schedule.isRunning()) {
        m_timer.stop();
        m_schedule.stop();
    }
    m_host.ensureConnected();
    QDialog::reject();
}
