#include "CameraSettingsDlg.h"

#include <QCheckBox>
#include <QDateTimeEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cstring>
#include <ctime>

namespace {

// The camera's clock knows no zone: its seconds are shown as they are.
QDateTime cameraDateTime(int64_t seconds)
{
    return QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC);
}

// The PC's local time in the camera's terms.
int64_t pcLocalTime()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return static_cast<int64_t>(now) + local.tm_gmtoff;
}

QString fixedText(const char *text, size_t size)
{
    return QString::fromLatin1(text, static_cast<qsizetype>(strnlen(text, size)));
}

QSpinBox *spinBox(QWidget *parent, const QString &name, int low, int high, int value)
{
    auto *box = new QSpinBox(parent);
    box->setObjectName(name);
    box->setRange(low, high);
    box->setValue(std::clamp(value, low, high));
    return box;
}

}  // namespace

CCameraSettingsDlg::CCameraSettingsDlg(const QSimCameraSettings &settings, QWidget *parent)
    : QDialog(parent), m_initial(settings)
{
    setObjectName(QStringLiteral("cameraSettingsDialog"));
    const QString model = fixedText(m_initial.modelName, sizeof m_initial.modelName);
    setWindowTitle(model.isEmpty() ? QStringLiteral("Camera Settings")
                                   : QStringLiteral("Camera Settings - %1").arg(model));

    auto *tabs = new QTabWidget(this);
    tabs->setObjectName(QStringLiteral("settingsTabs"));
    tabs->addTab(makeCameraPage(), QStringLiteral("Camera"));
    tabs->addTab(makeCustomFunctionsPage(), QStringLiteral("Custom Functions"));
    if (m_initial.hasParameterSets)
        tabs->addTab(makeParameterSetsPage(), QStringLiteral("Parameter Sets"));

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("dialogButtons"));
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("okButton"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancelButton"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
    layout->addWidget(buttons);
}

QWidget *CCameraSettingsDlg::makeCameraPage()
{
    auto *page = new QWidget(this);
    auto *form = new QFormLayout(page);

    auto *model = new QLabel(fixedText(m_initial.modelName, sizeof m_initial.modelName), page);
    model->setObjectName(QStringLiteral("modelLabel"));
    form->addRow(QStringLiteral("Camera:"), model);

    m_owner = new QLineEdit(fixedText(m_initial.owner, sizeof m_initial.owner), page);
    m_owner->setObjectName(QStringLiteral("ownerEdit"));
    m_owner->setMaxLength(QSIM_OWNER_SIZE - 1);
    // The camera writes the owner into its images as plain ASCII.
    m_owner->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[\\x20-\\x7E]*")),
                                                          m_owner));
    form->addRow(QStringLiteral("Owner name:"), m_owner);

    auto *clockRow = new QWidget(page);
    auto *clockLayout = new QHBoxLayout(clockRow);
    clockLayout->setContentsMargins(0, 0, 0, 0);
    m_clock = new QDateTimeEdit(clockRow);
    m_clock->setObjectName(QStringLiteral("clockEdit"));
    m_clock->setTimeSpec(Qt::UTC);
    m_clock->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    m_clock->setDateTimeRange(cameraDateTime(946684800), cameraDateTime(4102444799));  // 2000 to 2099
    m_clock->setDateTime(cameraDateTime(m_initial.cameraTime));
    // A clock outside the edit's range is clamped for display only; it is
    // set only when the user changes it.
    connect(m_clock, &QDateTimeEdit::dateTimeChanged, this, [this] { m_clockChanged = true; });
    auto *pcTime = new QPushButton(QStringLiteral("Set to PC time"), clockRow);
    pcTime->setObjectName(QStringLiteral("pcTimeButton"));
    connect(pcTime, &QPushButton::clicked, this, [this] { m_clock->setDateTime(cameraDateTime(pcLocalTime())); });
    clockLayout->addWidget(m_clock, 1);
    clockLayout->addWidget(pcTime);
    form->addRow(QStringLiteral("Date/time:"), clockRow);
    return page;
}

QWidget *CCameraSettingsDlg::makeCustomFunctionsPage()
{
    auto *page = new QWidget(this);
    auto *grid = new QGridLayout(page);
    constexpr int kRows = 8;
    for (int number = 1; number <= QSIM_CUSTOM_FUNCTIONS; ++number) {
        auto *box = spinBox(page, QStringLiteral("customFunction%1").arg(number), 0, QSIM_CUSTOM_FUNCTION_MAX,
                            m_initial.customFunctions[number]);
        auto *label = new QLabel(QStringLiteral("C.Fn-%1:").arg(number), page);
        label->setBuddy(box);
        const int row = (number - 1) % kRows;
        const int column = (number - 1) / kRows * 2;
        grid->addWidget(label, row, column);
        grid->addWidget(box, row, column + 1);
        m_customFunctions[static_cast<size_t>(number)] = box;
    }
    m_customFunctions[3]->setToolTip(QStringLiteral("Mirror lock-up: 0 off, 1 on"));
    m_customFunctions[4]->setToolTip(QStringLiteral("Exposure level increments: 0 half stops, 1 third stops"));
    return page;
}

QWidget *CCameraSettingsDlg::makeParameterSetsPage()
{
    auto *page = new QWidget(this);
    auto *grid = new QGridLayout(page);
    const char *columns[] = {"Contrast", "Sharpness", "Saturation", "Color tone"};
    for (int c = 0; c < 4; ++c)
        grid->addWidget(new QLabel(QString::fromLatin1(columns[c]), page), 0, c + 1);
    for (int number = 1; number <= QSIM_PARAMETER_SETS; ++number) {
        const QSimParameterSet &set = m_initial.parameterSets[number];
        ParameterSetControls &controls = m_parameterSets[static_cast<size_t>(number)];
        const QString prefix = QStringLiteral("parameterSet%1").arg(number);
        controls.defined = new QCheckBox(QStringLiteral("Set %1").arg(number), page);
        controls.defined->setObjectName(prefix + QStringLiteral("Defined"));
        controls.defined->setChecked(set.defined != 0);
        controls.contrast = spinBox(page, prefix + QStringLiteral("Contrast"), QSIM_PARAMETER_MIN,
                                    QSIM_PARAMETER_MAX, set.contrast);
        controls.sharpness = spinBox(page, prefix + QStringLiteral("Sharpness"), QSIM_PARAMETER_MIN,
                                     QSIM_PARAMETER_MAX, set.sharpness);
        controls.saturation = spinBox(page, prefix + QStringLiteral("Saturation"), QSIM_PARAMETER_MIN,
                                      QSIM_PARAMETER_MAX, set.saturation);
        controls.colorTone = spinBox(page, prefix + QStringLiteral("ColorTone"), QSIM_PARAMETER_MIN,
                                     QSIM_PARAMETER_MAX, set.colorTone);
        QSpinBox *values[] = {controls.contrast, controls.sharpness, controls.saturation, controls.colorTone};
        grid->addWidget(controls.defined, number, 0);
        for (int c = 0; c < 4; ++c) {
            values[c]->setEnabled(controls.defined->isChecked());
            connect(controls.defined, &QCheckBox::toggled, values[c], &QWidget::setEnabled);
            grid->addWidget(values[c], number, c + 1);
        }
    }
    return page;
}

QSimCameraSettings CCameraSettingsDlg::settings() const
{
    QSimCameraSettings result = m_initial;
    const QByteArray owner = m_owner->text().toLatin1().left(QSIM_OWNER_SIZE - 1);
    std::memset(result.owner, 0, sizeof result.owner);
    std::memcpy(result.owner, owner.constData(), static_cast<size_t>(owner.size()));
    if (m_clockChanged)
        result.cameraTime = m_clock->dateTime().toSecsSinceEpoch();
    for (int number = 1; number <= QSIM_CUSTOM_FUNCTIONS; ++number)
        result.customFunctions[number] = static_cast<uint8_t>(m_customFunctions[static_cast<size_t>(number)]->value());
    if (m_initial.hasParameterSets) {
        for (int number = 1; number <= QSIM_PARAMETER_SETS; ++number) {
            const ParameterSetControls &controls = m_parameterSets[static_cast<size_t>(number)];
            QSimParameterSet &set = result.parameterSets[number];
            set.defined = controls.defined->isChecked() ? 1 : 0;
            set.contrast = controls.contrast->value();
            set.sharpness = controls.sharpness->value();
            set.saturation = controls.saturation->value();
            set.colorTone = controls.colorTone->value();
        }
    }
    return result;
}
