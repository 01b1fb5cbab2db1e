// The reporter's dialog: its texts for each brand, its controls in order and in dialog units,
// and what its two buttons return.
#include "errorreporting/VErrorReportingDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace
{

QString LabelText(const QDialog& dialog, const char* name)
{
    const auto* label = dialog.findChild<QLabel*>(name);
    return label != nullptr ? label->text() : QStringLiteral("<missing>");
}

/// Runs the dialog modally and lets `act` close it once it shows; returns exec()'s result.
int RunDialog(VErrorReportingDialog& dialog, const std::function<void()>& act)
{
    QTimer::singleShot(0, &dialog, act);
    return dialog.exec();
}

} // namespace

TEST(ErrorReportingDialog, ShowsTheBrandsWordsTitleAndIncident)
{
    const QString explanation1 =
        "An error has occurred. The application will close. We apologize for the inconvenience."
        "\n\nIf you would like to notify Orvan of this error, please enter any comments you have "
        "and click \"Send Report\".";
    VErrorReportingDialog orvan(1, "tsmCL", "tsmCL-20240229-235958");
    EXPECT_EQ(orvan.windowTitle(), "Orvan Error Reporting");
    EXPECT_EQ(LabelText(orvan, "Title"), "tsmCL has caused an error");
    EXPECT_EQ(LabelText(orvan, "Explanation"), explanation1);
    EXPECT_EQ(orvan.findChild<QLineEdit*>("IncidentId")->text(), "tsmCL-20240229-235958");
    EXPECT_TRUE(orvan.findChild<QLineEdit*>("IncidentId")->isReadOnly());
    EXPECT_FALSE(orvan.findChild<QLabel*>("LogoOrvan")->isHidden());
    EXPECT_TRUE(orvan.findChild<QLabel*>("LogoZEL")->isHidden());

    // Brand 0, and every other index, says ZEL.
    for (const int brand : {0, 2, -1})
    {
        VErrorReportingDialog zel(brand, "tsmCL", "id");
        EXPECT_EQ(zel.windowTitle(), "ZEL Error Reporting") << brand;
        QString explanation0 = explanation1;
        explanation0.replace("notify Orvan", "notify ZEL");
        EXPECT_EQ(LabelText(zel, "Explanation"), explanation0) << brand;
        EXPECT_FALSE(zel.findChild<QLabel*>("LogoZEL")->isHidden()) << brand;
        EXPECT_TRUE(zel.findChild<QLabel*>("LogoOrvan")->isHidden()) << brand;
    }

    // The title in bold on white; the detail box exists but is never shown.
    const auto* title = orvan.findChild<QLabel*>("Title");
    EXPECT_EQ(title->font().weight(), QFont::Bold);
    EXPECT_TRUE(title->autoFillBackground());
    EXPECT_EQ(title->palette().color(QPalette::Window), QColor(Qt::white));
    orvan.show();
    EXPECT_FALSE(orvan.findChild<QCheckBox*>("MoreDetail")->isVisible());
    EXPECT_EQ(orvan.findChild<QCheckBox*>("MoreDetail")->text(),
              "Send &more detailed information. This may take some time.");
}

TEST(ErrorReportingDialog, PlacesTheControlsInDialogUnitsInTheirOrder)
{
    VErrorReportingDialog dialog(1, "tsmCL", "id");
    const QFontMetrics metrics = dialog.fontMetrics();
    const auto pixels = [&](int x, int y, int w, int h)
    { return DialogUnitsToPixels(QRect(x, y, w, h), metrics); };
    EXPECT_EQ(dialog.size(), pixels(0, 0, 370, 195).size());
    EXPECT_EQ(dialog.findChild<QPushButton*>("SendReport")->geometry(), pixels(259, 174, 50, 14));
    EXPECT_EQ(dialog.findChild<QPushButton*>("DontSend")->geometry(), pixels(313, 174, 50, 14));
    EXPECT_EQ(dialog.findChild<QPlainTextEdit*>("Comments")->geometry(), pixels(51, 93, 312, 55));
    EXPECT_EQ(dialog.findChild<QLineEdit*>("IncidentId")->geometry(), pixels(51, 150, 312, 13));
    EXPECT_EQ(dialog.findChild<QLabel*>("Title")->geometry(), pixels(113, 7, 250, 41));
    EXPECT_TRUE(dialog.findChild<QPushButton*>("SendReport")->isDefault());

    // A dialog unit is a quarter of the average letter width and an eighth of the height.
    const int letters =
        metrics.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    EXPECT_EQ(pixels(0, 0, 4, 8).size(), QSize((letters / 26 + 1) / 2, metrics.height()));

    // Creation order is the order of the children: Send, comments, incident, detail box,
    // Don't Send, then the header band below the logos and the title.
    QStringList order;
    for (const QObject* child : dialog.children())
        if (!child->objectName().isEmpty())
            order << child->objectName();
    EXPECT_EQ(order, (QStringList{"SendReport", "Comments", "IncidentId", "MoreDetail", "DontSend",
                                  "HeaderBand", "LogoZEL", "Title", "Explanation", "LogoOrvan"}));
}

TEST(ErrorReportingDialog, EveryTextFitsItsPlaceEvenWithAWideDefaultFont)
{
    const QFont original = QApplication::font();
    for (const qreal points : {original.pointSizeF(), 16.0})
    {
        QFont font = original;
        font.setPointSizeF(points);
        QApplication::setFont(font);
        VErrorReportingDialog dialog(0, "tsmCL", "tsmCL-20240229-235958");
        EXPECT_LE(dialog.font().pointSizeF(), points);
        for (const QLabel* label : dialog.findChildren<QLabel*>())
            EXPECT_LE(label->heightForWidth(label->width()), label->height())
                << points << " pt: " << label->text().toStdString();
        for (const QPushButton* button : dialog.findChildren<QPushButton*>())
            EXPECT_LE(button->sizeHint().width(), button->width()) << points << " pt";
    }
    QApplication::setFont(original);
}

TEST(ErrorReportingDialog, ButtonsCloseWithTheirResultAndKeepTheAnswer)
{
    // "Send Report" keeps the comments (at most 4096 characters) and the detail box.
    VErrorReportingDialog send(0, "tsmCL", "id");
    const QString longText(5000, QChar('c'));
    const int sent =
        RunDialog(send,
                  [&]
                  {
                      send.findChild<QPlainTextEdit*>("Comments")->setPlainText(longText);
                      send.findChild<QCheckBox*>("MoreDetail")->setChecked(true);
                      send.findChild<QPushButton*>("SendReport")->click();
                  });
    EXPECT_EQ(sent, VErrorReportingDialog::SendReport);
    EXPECT_EQ(send.GetComments(), longText.left(4096));
    EXPECT_TRUE(send.WantsMoreDetail());

    // "Don't Send", Escape and the window's close button all mean 2; Return in the comments
    // makes a new line instead of pressing the default button.
    VErrorReportingDialog dontSend(0, "tsmCL", "id");
    const int notSent = RunDialog(dontSend,
                                  [&]
                                  {
                                      auto* comments =
                                          dontSend.findChild<QPlainTextEdit*>("Comments");
                                      comments->setFocus();
                                      QTest::keyClicks(comments, "first");
                                      QTest::keyClick(comments, Qt::Key_Return);
                                      QTest::keyClicks(comments, "second");
                                      dontSend.findChild<QPushButton*>("DontSend")->click();
                                  });
    EXPECT_EQ(notSent, VErrorReportingDialog::DontSend);
    EXPECT_EQ(dontSend.GetComments(), "first\nsecond");
    EXPECT_FALSE(dontSend.WantsMoreDetail());

    VErrorReportingDialog escaped(0, "tsmCL", "id");
    EXPECT_EQ(RunDialog(escaped, [&] { QTest::keyClick(&escaped, Qt::Key_Escape); }),
              VErrorReportingDialog::DontSend);
    VErrorReportingDialog closed(0, "tsmCL", "id");
    EXPECT_EQ(RunDialog(closed, [&] { closed.close(); }), VErrorReportingDialog::DontSend);
}

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
