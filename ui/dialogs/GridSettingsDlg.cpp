#include "GridSettingsDlg.h"

#include "Prompts.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QShowEvent>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// A divisions box: any number up to three digits may be typed, so that OK
// can refuse one out of range with the usual message, while the arrows (and
// the Up/Down keys and the wheel) read what is typed and step within 2 to 50.
class DivisionsSpinBox : public QSpinBox {
public:
    explicit DivisionsSpinBox(QWidget *parent) : QSpinBox(parent)
    {
        setRange(0, 999);
    }

    void stepBy(int steps) override
    {
        const std::optional<int> typed = CGridSettingsDlg::parseDivisions(cleanText());
        const long long next = static_cast<long long>(typed.value_or(0)) + steps;
        setValue(static_cast<int>(std::clamp<long long>(next, CGridSettingsDlg::minimumDivisions,
                                                        CGridSettingsDlg::maximumDivisions)));
        selectAll();
    }

protected:
    // Both arrows always work; a step out of range stays at the limit.
    StepEnabled stepEnabled() const override { return StepUpEnabled | StepDownEnabled; }
};

}  // namespace

QColor gridColourToQColor(std::uint32_t bgr)
{
    return QColor(int(bgr & 0xff), int((bgr >> 8) & 0xff), int((bgr >> 16) & 0xff));
}

std::uint32_t gridColourFromQColor(const QColor &colour)
{
    const QColor rgb = colour.toRgb();
    return std::uint32_t(rgb.red()) | (std::uint32_t(rgb.green()) << 8) | (std::uint32_t(rgb.blue()) << 16);
}

std::optional<int> CGridSettingsDlg::parseDivisions(const QString &text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    if (!ok)
        return std::nullopt;
    return value;
}

CGridSettingsDlg::CGridSettingsDlg(Prompts &prompts, const GridSettings &values, QWidget *parent)
    : QDialog(parent), m_prompts(prompts), m_values(values)
{
    setObjectName(QStringLiteral("gridSettingsDialog"));
    setWindowTitle(QStringLiteral("Grid Settings"));
    setModal(true);

    m_horizontalSpin = new DivisionsSpinBox(this);
    m_horizontalSpin->setObjectName(QStringLiteral("horizontalSpin"));
    auto *horizontalLabel = new QLabel(QStringLiteral("Number of &horizontal divisions:"), this);
    horizontalLabel->setBuddy(m_horizontalSpin);

    m_verticalSpin = new DivisionsSpinBox(this);
    m_verticalSpin->setObjectName(QStringLiteral("verticalSpin"));
    auto *verticalLabel = new QLabel(QStringLiteral("Number of &vertical divisions:"), this);
    verticalLabel->setBuddy(m_verticalSpin);

    m_colourSwatch = new QLabel(this);
    m_colourSwatch->setObjectName(QStringLiteral("colourSwatch"));
    m_colourSwatch->setFrameShape(QFrame::Panel);
    m_colourSwatch->setFrameShadow(QFrame::Sunken);
    m_colourSwatch->setFixedSize(60, 22);
    auto *colourButton = new QPushButton(QStringLiteral("..."), this);
    colourButton->setObjectName(QStringLiteral("colourButton"));
    colourButton->setAutoDefault(false);
    colourButton->setFixedWidth(colourButton->fontMetrics().horizontalAdvance(QStringLiteral("....")) + 16);
    auto *colourLabel = new QLabel(QStringLiteral("Line color:"), this);
    colourLabel->setBuddy(colourButton);

    m_enableGridCheck = new QCheckBox(QStringLiteral("&Enable grid display"), this);
    m_enableGridCheck->setObjectName(QStringLiteral("enableGridCheck"));

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("buttonBox"));
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("okButton"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancelButton"));

    auto *grid = new QGridLayout;
    grid->addWidget(horizontalLabel, 0, 0);
    grid->addWidget(m_horizontalSpin, 0, 1);
    grid->addWidget(verticalLabel, 1, 0);
    grid->addWidget(m_verticalSpin, 1, 1);
    auto *colourRow = new QHBoxLayout;
    colourRow->addWidget(m_colourSwatch);
    colourRow->addWidget(colourButton);
    colourRow->addStretch();
    grid->addWidget(colourLabel, 2, 0);
    grid->addLayout(colourRow, 2, 1);
    grid->addWidget(m_enableGridCheck, 3, 0, 1, 2);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addStretch();
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &CGridSettingsDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CGridSettingsDlg::reject);
    connect(colourButton, &QPushButton::clicked, this, &CGridSettingsDlg::chooseColour);

    loadControls();
}

void CGridSettingsDlg::setValues(const GridSettings &values)
{
    m_values = values;
    loadControls();
}

void CGridSettingsDlg::loadControls()
{
    m_horizontalSpin->setValue(m_values.numHorzGridDivisions);
    m_verticalSpin->setValue(m_values.numVertGridDivisions);
    m_enableGridCheck->setChecked(m_values.displayGrid);
    m_colour = m_values.gridColour;
    paintSwatch();
}

void CGridSettingsDlg::showEvent(QShowEvent *event)
{
    // Shown again after a Cancel, the dialog starts from its values, not
    // from what was abandoned.
    if (!m_open) {
        m_open = true;
        loadControls();
    }
    QDialog::showEvent(event);
}

void CGridSettingsDlg::paintSwatch()
{
    QPixmap swatch(m_colourSwatch->contentsRect().size());
    swatch.fill(gridColourToQColor(m_colour));
    m_colourSwatch->setPixmap(swatch);
}

void CGridSettingsDlg::chooseColour()
{
    const std::optional<QColor> chosen = m_prompts.chooseColour(this, gridColourToQColor(m_colour));
    if (!chosen || !chosen->isValid())
        return;
    m_colour = gridColourFromQColor(*chosen);
    paintSwatch();
}

bool CGridSettingsDlg::checkDivisions(QSpinBox *spin, int &value)
{
    const std::optional<int> typed = parseDivisions(spin->cleanText());
    QString refusal;
    if (!typed)
        refusal = QStringLiteral("Please enter an integer.");
    else if (*typed < minimumDivisions || *typed > maximumDivisions)
        refusal = QStringLiteral("Please enter an integer between %1 and %2.").arg(minimumDivisions).arg(maximumDivisions);
    if (refusal.isEmpty()) {
        value = *typed;
        return true;
    }
    m_prompts.message(this, Prompts::Icon::Refusal, Prompts::programCaption(), refusal);
    spin->setFocus();
    spin->selectAll();
    return false;
}

void CGridSettingsDlg::accept()
{
    int horizontal = 0;
    int vertical = 0;
    if (!checkDivisions(m_horizontalSpin, horizontal) || !checkDivisions(m_verticalSpin, vertical))
        return;
    m_values.numHorzGridDivisions = horizontal;
    m_values.numVertGridDivisions = vertical;
    m_values.gridColour = m_colour;
    m_values.displayGrid = m_enableGridCheck->isChecked();
    QDialog::accept();
}

void CGridSettingsDlg::done(int result)
{
    m_open = false;
    QDialog::done(result);
}
