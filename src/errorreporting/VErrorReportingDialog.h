// The error reporter's dialog: what happened, room for the user's comments, the incident ID,
// and the choice between sending the report and not.
#pragma once

#include <QDialog>
#include <QRect>
#include <QString>

#include <vector>

class QCheckBox;
class QFont;
class QFontMetrics;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

/// The rectangle of `dialogUnits` (x, y, width, height in dialog units) in pixels for a dialog
/// whose font has these metrics: horizontal units are a quarter of the font's average letter
/// width, vertical units an eighth of its height.
QRect DialogUnitsToPixels(const QRect& dialogUnits, const QFontMetrics& metrics);

/// The modal crash dialog, 370 by 195 dialog units of the application's default font (taken
/// down in half points, to 6 at the least, until every text fits its place). Its
/// controls, in creation (and tab) order: "Send Report" (default button, result 1), the
/// comments (multi-line, Return makes a new line), the read-only incident ID, the hidden
/// "more detailed information" check box, "Don't Send" (result 2; Escape and closing the
/// window mean the same), the white header band with the brand's logo and the bold title,
/// an etched line, the explanation, and the two labels.
///
/// Threading: a widget, GUI thread only. Not copyable (QObject).
class VErrorReportingDialog : public QDialog
{
    Q_OBJECT

public:
    static constexpr int SendReport = 1;
    static constexpr int DontSend = 2;
    /// Characters of the comments that are read.
    static constexpr int MaxComments = 4096;

    /// `brand` chooses the words and the logo (0 "ZEL", 1 "Orvan"); `baseName` names the
    /// crashed program in the title; `incidentId` fills the incident field.
    VErrorReportingDialog(int brand, const QString& baseName, const QString& incidentId,
                          QWidget* parent = nullptr);

    /// The comments as typed, at most MaxComments characters (valid after the dialog closed).
    QString GetComments() const { return m_Comments; }
    /// The state of the hidden check box when the dialog closed: a full-memory dump.
    bool WantsMoreDetail() const { return m_MoreDetail; }

    /// Closes with SendReport or DontSend, after storing the comments and the check box.
    void Finish(int result);

    void reject() override { Finish(DontSend); }

    /// Whether every label's text fits its height and every visible button's its width.
    bool TextsFit() const;

private:
    /// A control and where it lies, in dialog units.
    struct VPlace
    {
        QWidget* m_Widget;
        QRect m_DialogUnits;
    };

    /// Sets the font (bold for the title) and places every control for it.
    void ApplyFont(const QFont& font);

    int m_Brand;
    std::vector<VPlace> m_Places;
    QLabel* m_Title = nullptr;
    QLabel* m_Logos[2] = {};
    QString m_Comments;
    bool m_MoreDetail = false;
    QPlainTextEdit* m_CommentsEdit = nullptr;
    QCheckBox* m_MoreDetailBox = nullptr;
};
