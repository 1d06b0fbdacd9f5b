#include "messagebox.h"

#include "applog.h"

#include <QDialog>
#include <QFileDialog>
#include <QGuiApplication>
#include <QInputDialog>
#include <QQueue>

#include <type_traits>

namespace
{

struct Hooks {
    QQueue<QMessageBox::StandardButton> answers;
    QQueue<QVariant> values;
    QQueue<QString> fileNames;
    QList<MessageBox::Record> history;
};

Hooks &hooks()
{
    static Hooks h;
    return h;
}

QMessageBox::Icon iconOf(MessageBox::Kind kind)
{
    switch (kind) {
    case MessageBox::Critical:
        return QMessageBox::Critical;
    case MessageBox::Warning:
        return QMessageBox::Warning;
    case MessageBox::Question:
        return QMessageBox::Question;
    default:
        return QMessageBox::Information;
    }
}

MessageBox::Record makeRecord(MessageBox::Kind kind, const QString &title, const QString &text)
{
    MessageBox::Record entry;
    entry.kind = kind;
    entry.title = title;
    entry.text = text;
    return entry;
}

} // namespace

int MessageBox::execDialog(QDialog &dialog, const QString &label, const QString &text,
                           const std::function<void(const QString &)> &setText)
{
    if (!hooks().answers.isEmpty()) {
        const auto answer = question(&dialog, dialog.windowTitle(), label, QMessageBox::Ok | QMessageBox::Cancel,
                                     QMessageBox::Ok);
        if (answer != QMessageBox::Ok && answer != QMessageBox::Yes)
            return QDialog::Rejected;
        if (!hooks().values.isEmpty()) {
            bool ok = false;
            const QString value = getText(&dialog, dialog.windowTitle(), label, QLineEdit::Normal, text, &ok);
            if (ok && setText)
                setText(value);
        }
        dialog.accept();
        return QDialog::Accepted;
    }
    // Nobody could close a modal dialog there.
    if (!mayOpenWindow())
        return QDialog::Rejected;
    return dialog.exec();
}

bool MessageBox::mayOpenWindow()
{
    // Offscreen means tests: a modal window there would block until the time-out.
    return QGuiApplication::platformName() != QLatin1String("offscreen");
}

void MessageBox::record(const Record &entry)
{
    hooks().history.append(entry);
}

QMessageBox::StandardButton MessageBox::showMessage(Kind kind, QWidget *parent, const QString &title,
                                                    const QString &text, QMessageBox::StandardButtons buttons,
                                                    QMessageBox::StandardButton defaultButton)
{
    Record entry = makeRecord(kind, title, text);
    if (!hooks().answers.isEmpty()) {
        entry.answer = hooks().answers.dequeue();
        entry.armed = true;
    } else if (mayOpenWindow()) {
        QMessageBox box(iconOf(kind), title, text, buttons, parent);
        if (defaultButton != QMessageBox::NoButton)
            box.setDefaultButton(defaultButton);
        entry.answer = QMessageBox::StandardButton(box.exec());
    } else {
        qCWarning(lcApp) << "message box without an armed answer:" << title << text;
    }
    record(entry);
    return entry.answer;
}

QMessageBox::StandardButton MessageBox::critical(QWidget *parent, const QString &title, const QString &text,
                                                 QMessageBox::StandardButtons buttons,
                                                 QMessageBox::StandardButton defaultButton)
{
    return showMessage(Critical, parent, title, text, buttons, defaultButton);
}

QMessageBox::StandardButton MessageBox::warning(QWidget *parent, const QString &title, const QString &text,
                                                QMessageBox::StandardButtons buttons,
                                                QMessageBox::StandardButton defaultButton)
{
    return showMessage(Warning, parent, title, text, buttons, defaultButton);
}

QMessageBox::StandardButton MessageBox::information(QWidget *parent, const QString &title,
                                                    const QString &text, QMessageBox::StandardButtons buttons,
                                                    QMessageBox::StandardButton defaultButton)
{
    return showMessage(Information, parent, title, text, buttons, defaultButton);
}

QMessageBox::StandardButton MessageBox::question(QWidget *parent, const QString &title, const QString &text,
                                                 QMessageBox::StandardButtons buttons,
                                                 QMessageBox::StandardButton defaultButton)
{
    return showMessage(Question, parent, title, text, buttons, defaultButton);
}

bool MessageBox::takeValue(QVariant *value)
{
    if (hooks().values.isEmpty())
        return false;
    *value = hooks().values.dequeue();
    return true;
}

bool MessageBox::takeFileName(QString *fileName)
{
    if (hooks().fileNames.isEmpty())
        return false;
    *fileName = hooks().fileNames.dequeue();
    return true;
}

// The course every input dialog takes: an armed value (fromArmed turns it into
// the result, false for Cancel) or else the real dialog (open), then the record.
// Text results are empty after Cancel; numbers keep what the dialog returned.
template <typename T, typename FromArmed, typename Open>
T MessageBox::askInput(Kind kind, const QString &title, const QString &label, T result, bool *ok,
                       FromArmed fromArmed, Open open)
{
    Record entry = makeRecord(kind, title, label);
    bool accepted = false;
    QVariant armed;
    if (takeValue(&armed)) {
        entry.armed = true;
        accepted = fromArmed(armed, &result);
    } else if (mayOpenWindow()) {
        result = open(&accepted);
    }
    if (accepted)
        entry.value = result;
    else if constexpr (std::is_same_v<T, QString>)
        result.clear();
    record(entry);
    if (ok)
        *ok = accepted;
    return result;
}

namespace
{

// An armed number is taken when it converts, clamped to the dialog's range.
template <typename Number>
bool armedNumber(const QVariant &armed, Number minValue, Number maxValue, Number *result)
{
    bool converted = false;
    Number v;
    if constexpr (std::is_integral_v<Number>)
        v = armed.toInt(&converted);
    else
        v = armed.toDouble(&converted);
    if (!armed.isValid() || !converted)
        return false;
    *result = qBound(minValue, v, maxValue);
    return true;
}

} // namespace

QString MessageBox::getText(QWidget *parent, const QString &title, const QString &label,
                            QLineEdit::EchoMode mode, const QString &text, bool *ok)
{
    return askInput(
        InputText, title, label, QString(), ok,
        [](const QVariant &armed, QString *result) {
            if (!armed.isValid())
                return false;
            *result = armed.toString();
            return true;
        },
        [&](bool *accepted) { return QInputDialog::getText(parent, title, label, mode, text, accepted); });
}

int MessageBox::getInt(QWidget *parent, const QString &title, const QString &label, int value, int minValue,
                       int maxValue, int step, bool *ok)
{
    return askInput(
        InputInt, title, label, value, ok,
        [&](const QVariant &armed, int *result) { return armedNumber(armed, minValue, maxValue, result); },
        [&](bool *accepted) {
            return QInputDialog::getInt(parent, title, label, value, minValue, maxValue, step, accepted);
        });
}

double MessageBox::getDouble(QWidget *parent, const QString &title, const QString &label, double value,
                             double minValue, double maxValue, int decimals, bool *ok)
{
    return askInput(
        InputDouble, title, label, value, ok,
        [&](const QVariant &armed, double *result) { return armedNumber(armed, minValue, maxValue, result); },
        [&](bool *accepted) {
            return QInputDialog::getDouble(parent, title, label, value, minValue, maxValue, decimals,
                                           accepted);
        });
}

QString MessageBox::getItem(QWidget *parent, const QString &title, const QString &label,
                            const QStringList &items, int current, bool editable, bool *ok)
{
    return askInput(
        InputItem, title, label, QString(), ok,
        [&](const QVariant &armed, QString *result) {
            if (!armed.isValid())
                return false;
            // An int picks an item by index; text is taken as typed (or must be an item when not editable).
            if (armed.typeId() == QMetaType::Int) {
                const int index = armed.toInt();
                if (index < 0 || index >= items.size())
                    return false;
                *result = items.at(index);
                return true;
            }
            *result = armed.toString();
            return editable || items.contains(*result);
        },
        [&](bool *accepted) {
            return QInputDialog::getItem(parent, title, label, items, current, editable, accepted);
        });
}

// The course every file dialog takes: an armed name or else the real dialog;
// an empty name is a Cancel.
template <typename Open>
QString MessageBox::askFileName(Kind kind, const QString &caption, const QString &filter, Open open)
{
    Record entry = makeRecord(kind, caption, filter);
    QString result;
    if (takeFileName(&result))
        entry.armed = true;
    else if (mayOpenWindow())
        result = open();
    if (!result.isEmpty())
        entry.value = result;
    record(entry);
    return result;
}

QString MessageBox::getOpenFileName(QWidget *parent, const QString &caption, const QString &dir,
                                    const QString &filter)
{
    return askFileName(OpenFileName, caption, filter,
                       [&] { return QFileDialog::getOpenFileName(parent, caption, dir, filter); });
}

QString MessageBox::getSaveFileName(QWidget *parent, const QString &caption, const QString &dir,
                                    const QString &filter)
{
    return askFileName(SaveFileName, caption, filter,
                       [&] { return QFileDialog::getSaveFileName(parent, caption, dir, filter); });
}

QString MessageBox::getExistingDirectory(QWidget *parent, const QString &caption, const QString &dir)
{
    return askFileName(ExistingDirectory, caption, QString(),
                       [&] { return QFileDialog::getExistingDirectory(parent, caption, dir); });
}

void MessageBox::setNextAnswer(QMessageBox::StandardButton answer)
{
    hooks().answers.enqueue(answer);
}

void MessageBox::setNextValue(const QVariant &value)
{
    hooks().values.enqueue(value);
}

void MessageBox::setNextFileName(const QString &fileName)
{
    hooks().fileNames.enqueue(fileName);
}

void MessageBox::clearHooks()
{
    hooks().answers.clear();
    hooks().values.clear();
    hooks().fileNames.clear();
}

int MessageBox::pendingAnswers()
{
    return int(hooks().answers.size());
}

int MessageBox::pendingValues()
{
    return int(hooks().values.size());
}

int MessageBox::pendingFileNames()
{
    return int(hooks().fileNames.size());
}

QList<MessageBox::Record> MessageBox::history()
{
    return hooks().history;
}

void MessageBox::clearHistory()
{
    hooks().history.clear();
}

MessageBox::Record MessageBox::last()
{
    if (hooks().history.isEmpty())
        return makeRecord(Information, QString(), QString());
    return hooks().history.constLast();
}
