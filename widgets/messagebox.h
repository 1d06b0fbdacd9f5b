#pragma once
// The one door through which both programs open message boxes, input dialogs
// and file dialogs. Tests arm the next answer, value or file name; while one is
// armed no modal window opens and the call returns the armed value at once.
// Every call is recorded (kind, title, text) so a test can read back what the
// operator would have seen.
//
// Armed answers queue up: each call consumes the oldest armed one of its kind.
// On the offscreen platform (tests) a call without an armed answer opens no
// window either: nobody could close it. Message boxes then return NoButton,
// input dialogs report Cancel and file dialogs return an empty name.

#include <QLineEdit>
#include <QList>
#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>

class QDialog;
class QWidget;

class MessageBox
{
public:
    enum Kind {
        Critical,
        Warning,
        Information,
        Question,
        InputText,
        InputInt,
        InputDouble,
        InputItem,
        OpenFileName,
        SaveFileName,
        ExistingDirectory,
    };

    struct Record {
        Kind kind = Information;
        QString title; // window title or dialog caption
        QString text;  // message or input label; file dialogs: the filter
        QMessageBox::StandardButton answer = QMessageBox::NoButton; // message boxes
        QVariant value;     // input value or file name returned; invalid when cancelled
        bool armed = false; // answered by a test hook
    };

    // Message boxes. The result is the button the operator pressed.
    static QMessageBox::StandardButton
    critical(QWidget *parent, const QString &title, const QString &text,
             QMessageBox::StandardButtons buttons = QMessageBox::Ok,
             QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);
    static QMessageBox::StandardButton
    warning(QWidget *parent, const QString &title, const QString &text,
            QMessageBox::StandardButtons buttons = QMessageBox::Ok,
            QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);
    static QMessageBox::StandardButton
    information(QWidget *parent, const QString &title, const QString &text,
                QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);
    static QMessageBox::StandardButton
    question(QWidget *parent, const QString &title, const QString &text,
             QMessageBox::StandardButtons buttons = QMessageBox::Yes | QMessageBox::No,
             QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);

    // Input dialogs, as QInputDialog's static functions: *ok (if given) tells
    // whether the operator accepted.
    static QString getText(QWidget *parent, const QString &title, const QString &label,
                           QLineEdit::EchoMode mode = QLineEdit::Normal, const QString &text = QString(),
                           bool *ok = nullptr);
    static int getInt(QWidget *parent, const QString &title, const QString &label, int value = 0,
                      int minValue = -2147483647, int maxValue = 2147483647, int step = 1,
                      bool *ok = nullptr);
    static double getDouble(QWidget *parent, const QString &title, const QString &label, double value = 0,
                            double minValue = -2147483647, double maxValue = 2147483647, int decimals = 1,
                            bool *ok = nullptr);
    static QString getItem(QWidget *parent, const QString &title, const QString &label,
                           const QStringList &items, int current = 0, bool editable = true,
                           bool *ok = nullptr);

    // File dialogs; an empty result means cancelled.
    static QString getOpenFileName(QWidget *parent = nullptr, const QString &caption = QString(),
                                   const QString &dir = QString(), const QString &filter = QString());
    static QString getSaveFileName(QWidget *parent = nullptr, const QString &caption = QString(),
                                   const QString &dir = QString(), const QString &filter = QString());
    static QString getExistingDirectory(QWidget *parent = nullptr, const QString &caption = QString(),
                                        const QString &dir = QString());

    // A modal dialog of the program's own that edits one text (the address
    // dialog); returns QDialog::Accepted or Rejected. With an armed answer it
    // does not open: the answer is recorded as a question with the dialog's title
    // and `label`, Ok or Yes accepts, and an armed value then replaces the text
    // through `setText` (recorded as a text input of `text`).
    static int execDialog(QDialog &dialog, const QString &label, const QString &text,
                          const std::function<void(const QString &)> &setText);

    // Test hooks.
    static void setNextAnswer(QMessageBox::StandardButton answer);
    // The next input dialog returns this value and reports OK; an invalid
    // QVariant makes it report Cancel. Numbers are clamped to the dialog's range.
    static void setNextValue(const QVariant &value);
    // The next file dialog returns this name (empty: cancelled).
    static void setNextFileName(const QString &fileName);
    // Drops every armed answer, value and file name.
    static void clearHooks();
    static int pendingAnswers();
    static int pendingValues();
    static int pendingFileNames();

    static QList<Record> history();
    static void clearHistory();
    // The last record, or a record with empty title and text when there is none.
    static Record last();

private:
    static QMessageBox::StandardButton showMessage(Kind kind, QWidget *parent, const QString &title,
                                                   const QString &text, QMessageBox::StandardButtons buttons,
                                                   QMessageBox::StandardButton defaultButton);
    static bool takeValue(QVariant *value);
    static bool takeFileName(QString *fileName);
    template <typename T, typename FromArmed, typename Open>
    static T askInput(Kind kind, const QString &title, const QString &label, T result, bool *ok,
                      FromArmed fromArmed, Open open);
    template <typename Open>
    static QString askFileName(Kind kind, const QString &caption, const QString &filter, Open open);
    static bool mayOpenWindow();
    static void record(const Record &entry);
};
