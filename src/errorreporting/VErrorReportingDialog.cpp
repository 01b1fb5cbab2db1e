#include "errorreporting/VErrorReportingDialog.h"

#include "errorreporting/ReporterTexts.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QFont>
#include <QFontMetrics>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>

namespace
{

/// The dialog's size in dialog units.
const QRect kDialogUnits(0, 0, 370, 195);
/// The smallest point size the dialog's font is reduced to so that its texts fit.
constexpr qreal kSmallestPointSize = 6.0;

// The brands' logos: the maker's logo bitmaps are not ours to ship, so each logo is its
// brand's word drawn in a coloured box of the control's size.
QPixmap DrawLogo(const QString& word, const QSize& size, const QColor& colour)
{
    QPixmap logo(size);
    logo.fill(Qt::white);
    QPainter painter(&logo);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.drawRoundedRect(QRectF(logo.rect()).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(std::max(8, size.height() * 3 / 5));
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(logo.rect(), Qt::AlignCenter, word);
    return logo;
}

QLabel* MakeStatic(QWidget* parent, const QString& text)
{
    auto* label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setWordWrap(true);
    return label;
}

} // namespace

QRect DialogUnitsToPixels(const QRect& dialogUnits, const QFontMetrics& metrics)
{
    // The average letter width over the 52 letters, rounded, as dialog templates measure it.
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    const int baseX = (letters / 26 + 1) / 2;
    const int baseY = metrics.height();
    const auto scale = [](int units, int base, int divisor)
    { return (units * base + divisor / 2) / divisor; };
    return QRect(scale(dialogUnits.x(), baseX, 4), scale(dialogUnits.y(), baseY, 8),
                 scale(dialogUnits.width(), baseX, 4), scale(dialogUnits.height(), baseY, 8));
}

VErrorReportingDialog::VErrorReportingDialog(int brand, const QString& baseName,
                                             const QString& incidentId, QWidget* parent)
    : QDialog(parent), m_Brand(ReporterTexts::NormaliseBrand(brand))
{
    setModal(true);
    setWindowTitle(QString::fromUtf8(ReporterTexts::DialogCaption(m_Brand)));

    auto* send = new QPushButton(QString::fromUtf8(ReporterTexts::SendButton), this);
    send->setObjectName(QStringLiteral("SendReport"));
    send->setDefault(true);
    connect(send, &QPushButton::clicked, this, [this] { Finish(SendReport); });
    m_Places.push_back({send, QRect(259, 174, 50, 14)});

    m_CommentsEdit = new QPlainTextEdit(this);
    m_CommentsEdit->setObjectName(QStringLiteral("Comments"));
    m_CommentsEdit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_CommentsEdit->setTabChangesFocus(true);
    m_Places.push_back({m_CommentsEdit, QRect(51, 93, 312, 55)});

    auto* incident = new QLineEdit(incidentId, this);
    incident->setObjectName(QStringLiteral("IncidentId"));
    incident->setReadOnly(true);
    m_Places.push_back({incident, QRect(51, 150, 312, 13)});

    m_MoreDetailBox = new QCheckBox(QString::fromUtf8(ReporterTexts::MoreDetail), this);
    m_MoreDetailBox->setObjectName(QStringLiteral("MoreDetail"));
    m_MoreDetailBox->hide();
    m_Places.push_back({m_MoreDetailBox, QRect(54, 168, 309, 10)});

    auto* dontSend = new QPushButton(QString::fromUtf8(ReporterTexts::DontSendButton), this);
    dontSend->setObjectName(QStringLiteral("DontSend"));
    dontSend->setAutoDefault(false);
    connect(dontSend, &QPushButton::clicked, this, [this] { Finish(DontSend); });
    m_Places.push_back({dontSend, QRect(313, 174, 50, 14)});

    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    auto* band = new QFrame(this);
    band->setObjectName(QStringLiteral("HeaderBand"));
    band->setAutoFillBackground(true);
    band->setPalette(white);
    m_Places.push_back({band, QRect(0, 0, 369, 56)});

    m_Logos[0] = new QLabel(this);
    m_Logos[0]->setObjectName(QStringLiteral("LogoZEL"));
    m_Places.push_back({m_Logos[0], QRect(7, 7, 83, 41)});

    m_Title =
        MakeStatic(this, QString::fromUtf8(ReporterTexts::CausedAnError(baseName.toStdString())));
    m_Title->setObjectName(QStringLiteral("Title"));
    m_Title->setAutoFillBackground(true);
    m_Title->setPalette(white);
    m_Places.push_back({m_Title, QRect(113, 7, 250, 41)});

    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    m_Places.push_back({line, QRect(0, 56, 370, 1)});

    auto* explanation = MakeStatic(this, QString::fromUtf8(ReporterTexts::Explanation(m_Brand)));
    explanation->setObjectName(QStringLiteral("Explanation"));
    m_Places.push_back({explanation, QRect(7, 60, 362, 27)});
    m_Places.push_back(
        {MakeStatic(this, QString::fromUtf8(ReporterTexts::CommentsLabel)), QRect(7, 95, 42, 13)});
    m_Places.push_back(
        {MakeStatic(this, QString::fromUtf8(ReporterTexts::IncidentLabel)), QRect(7, 152, 39, 8)});

    m_Logos[1] = new QLabel(this);
    m_Logos[1]->setObjectName(QStringLiteral("LogoOrvan"));
    m_Places.push_back({m_Logos[1], QRect(19, 21, 67, 14)});
    m_Logos[0]->setVisible(m_Brand == 0);
    m_Logos[1]->setVisible(m_Brand == 1);

    // The places were drawn for a compact font; where the default font runs wider than that,
    // the dialog takes it a little smaller rather than cut a text short.
    QFont font = this->font();
    ApplyFont(font);
    while (!TextsFit() && font.pointSizeF() > kSmallestPointSize)
    {
        font.setPointSizeF(font.pointSizeF() - 0.5);
        ApplyFont(font);
    }
}

void VErrorReportingDialog::ApplyFont(const QFont& font)
{
    setFont(font);
    QFont bold = font;
    bold.setWeight(QFont::Bold);
    m_Title->setFont(bold);
    const QFontMetrics metrics(font);
    setFixedSize(DialogUnitsToPixels(kDialogUnits, metrics).size());
    for (const VPlace& place : m_Places)
        place.m_Widget->setGeometry(DialogUnitsToPixels(place.m_DialogUnits, metrics));
    m_Logos[0]->setPixmap(DrawLogo(QStringLiteral("ZEL"), m_Logos[0]->size(), QColor(0, 84, 147)));
    m_Logos[1]->setPixmap(
        DrawLogo(QStringLiteral("Orvan"), m_Logos[1]->size(), QColor(200, 80, 20)));
}

bool VErrorReportingDialog::TextsFit() const
{
    for (const VPlace& place : m_Places)
    {
        const QWidget* widget = place.m_Widget;
        if (const auto* label = qobject_cast<const QLabel*>(widget);
            label != nullptr && !label->text().isEmpty() &&
            label->heightForWidth(label->width()) > label->height())
            return false;
        if (const auto* button = qobject_cast<const QAbstractButton*>(widget);
            button != nullptr && !button->isHidden() &&
            button->sizeHint().width() > button->width())
            return false;
    }
    return true;
}

void VErrorReportingDialog::Finish(int result)
{
    m_MoreDetail = m_MoreDetailBox->isChecked();
    m_Comments = m_CommentsEdit->toPlainText().left(MaxComments);
    done(result);
}
