#include "errorreporting/VErrorReportingDialog.h"

#include "errorreporting/ReporterTexts.h"

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

// The brands' logos: the logo bitmaps of the maker are not ours to ship, so each logo is its
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

QLabel* MakeStatic(QWidget* parent, const QString& text, const QRect& place)
{
    auto* label = new QLabel(text, parent);
    label->setGeometry(place);
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
    : QDialog(parent)
{
    brand = ReporterTexts::NormaliseBrand(brand);
    setModal(true);
    setWindowTitle(QString::fromUtf8(ReporterTexts::DialogCaption(brand)));
    setFixedSize(Place(0, 0, 370, 195).size());

    auto* send = new QPushButton(QString::fromUtf8(ReporterTexts::SendButton), this);
    send->setObjectName(QStringLiteral("SendReport"));
    send->setGeometry(Place(259, 174, 50, 14));
    send->setDefault(true);
    connect(send, &QPushButton::clicked, this, [this] { Finish(SendReport); });

    m_CommentsEdit = new QPlainTextEdit(this);
    m_CommentsEdit->setObjectName(QStringLiteral("Comments"));
    m_CommentsEdit->setGeometry(Place(51, 93, 312, 55));
    m_CommentsEdit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_CommentsEdit->setTabChangesFocus(true);

    auto* incident = new QLineEdit(incidentId, this);
    incident->setObjectName(QStringLiteral("IncidentId"));
    incident->setGeometry(Place(51, 150, 312, 13));
    incident->setReadOnly(true);

    m_MoreDetailBox = new QCheckBox(QString::fromUtf8(ReporterTexts::MoreDetail), this);
    m_MoreDetailBox->setObjectName(QStringLiteral("MoreDetail"));
    m_MoreDetailBox->setGeometry(Place(54, 168, 309, 10));
    m_MoreDetailBox->hide();

    auto* dontSend = new QPushButton(QString::fromUtf8(ReporterTexts::DontSendButton), this);
    dontSend->setObjectName(QStringLiteral("DontSend"));
    dontSend->setGeometry(Place(313, 174, 50, 14));
    dontSend->setAutoDefault(false);
    connect(dontSend, &QPushButton::clicked, this, [this] { Finish(DontSend); });

    auto* band = new QFrame(this);
    band->setObjectName(QStringLiteral("HeaderBand"));
    band->setGeometry(Place(0, 0, 369, 56));
    band->setAutoFillBackground(true);
    QPalette white = band->palette();
    white.setColor(QPalette::Window, Qt::white);
    band->setPalette(white);

    const QRect zelLogoPlace = Place(7, 7, 83, 41);
    auto* zelLogo = new QLabel(this);
    zelLogo->setObjectName(QStringLiteral("LogoZEL"));
    zelLogo->setGeometry(zelLogoPlace);
    zelLogo->setPixmap(DrawLogo(QStringLiteral("ZEL"), zelLogoPlace.size(), QColor(0, 84, 147)));
    zelLogo->setVisible(brand == 0);

    auto* title =
        MakeStatic(this, QString::fromUtf8(ReporterTexts::CausedAnError(baseName.toStdString())),
                   Place(113, 7, 250, 41));
    title->setObjectName(QStringLiteral("Title"));
    QFont bold = title->font();
    bold.setWeight(QFont::Bold);
    title->setFont(bold);
    title->setAutoFillBackground(true);
    title->setPalette(white);

    auto* line = new QFrame(this);
    line->setGeometry(Place(0, 56, 370, 1));
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);

    auto* explanation = MakeStatic(this, QString::fromUtf8(ReporterTexts::Explanation(brand)),
                                   Place(7, 60, 362, 27));
    explanation->setObjectName(QStringLiteral("Explanation"));
    MakeStatic(this, QString::fromUtf8(ReporterTexts::CommentsLabel), Place(7, 95, 42, 13));
    MakeStatic(this, QString::fromUtf8(ReporterTexts::IncidentLabel), Place(7, 152, 39, 8));

    const QRect orvanLogoPlace = Place(19, 21, 67, 14);
    auto* orvanLogo = new QLabel(this);
    orvanLogo->setObjectName(QStringLiteral("LogoOrvan"));
    orvanLogo->setGeometry(orvanLogoPlace);
    orvanLogo->setPixmap(
        DrawLogo(QStringLiteral("Orvan"), orvanLogoPlace.size(), QColor(200, 80, 20)));
    orvanLogo->setVisible(brand == 1);
}

QRect VErrorReportingDialog::Place(int x, int y, int width, int height) const
{
    return DialogUnitsToPixels(QRect(x, y, width, height), fontMetrics());
}

void VErrorReportingDialog::Finish(int result)
{
    m_MoreDetail = m_MoreDetailBox->isChecked();
    m_Comments = m_CommentsEdit->toPlainText().left(MaxComments);
    done(result);
}
