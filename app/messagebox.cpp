#include "messagebox.h"

#include "applog.h"

#include <QFileDialog>
#include <QGuiApplication>
#include <QInputDialog>
#include <QQueue>

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

QString MessageBox::getText(QWidget *parent, const QString &title, const QString &label,
                            QLineEdit::EchoMode mode, const QString &text, bool *ok)
{
    Record entry = makeRecord(InputText, title, label);
    bool accepted = false;
    QString result;
    QVariant armed;
    if (takeValue(&armed)) {
        entry.armed = true;
        accepted = armed.isValid();
        if (accepted)
            result = armed.toString();
    } else if (mayOpenWindow()) {
        result = QInputDialog::getText(parent, title, label, mode, text, &accepted);
    }
    if (accepted)
        entry.value = result;
    else
        result.clear();
    record(entry);
    if (ok)
        *ok = accepted;
    return result;
}

int MessageBox::getInt(QWidget *parent, const QString &title, const QString &label, int value, int minValue,
                       int maxValue, int step, bool *ok)
{
    Record entry = makeRecord(InputInt, title, label);
    bool accepted = false;
    int result = value;
    QVariant armed;
    if (takeValue(&armed)) {
        entry.armed = true;
        bool converted = false;
        const int v = armed.toInt(&converted);
        accepted = armed.isValid() && converted;
        if (accepted)
            result = qBound(minValue, v, maxValue);
    } else if (mayOpenWindow()) {
        result = QInputDialog::getInt(parent, title, label, value, minValue, maxValue, step, &accepted);
    }
    if (accepted)
        entry.value = result;
    record(entry);
    if (ok)
        *ok = accepted;
    return result;
}

double MessageBox::getDouble(QWidget *parent, const QString &title, const QString &label, double value,
                             double minValue, double maxValue, int decimals, bool *ok)
{
    Record entry = makeRecord(InputDouble, title, label);
    bool accepted = false;
    double result = value;
    QVariant armed;
    if (takeValue(&armed)) {
        entry.armed = true;
        bool converted = false;
        const double v = armed.toDouble(&converted);
        accepted = armed.isValid() && converted;
        if (accepted)
            result = qBound(minValue, v, maxValue);
    } else if (mayOpenWindow()) {
        result =
            QInputDialog::getDouble(parent, title, label, value, minValue, maxValue, decimals, &accepted);
    }
    if (accepted)
        entry.value = result;
    record(entry);
    if (ok)
        *ok = accepted;
    return result;
}

QString MessageBox::getItem(QWidget *parent, const QString &title, const QString &label,
                            const QStringList &items, int current, bool editable, bool *ok)
{
    Record entry = makeRecord(InputItem, title, label);
    bool accepted = false;
    QString result;
    QVariant armed;
    if (takeValue(&armed)) {
        entry.armed = true;
        accepted = armed.isValid();
        if (accepted) {
            // An int picks an item by index; text is taken as typed (or must be an item when not editable).
            if (armed.typeId() == QMetaType::Int) {
                const int index = armed.toInt();
                accepted = index >= 0 && index < items.size();
                if (accepted)
                    result = items.at(index);
            } else {
                result = armed.toString();
                accepted = editable || items.contains(result);
            }
        }
    } else if (mayOpenWindow()) {
        result = QInputDialog::getItem(parent, title, label, items, current, editable, &accepted);
    }
    if (accepted)
        entry.value = result;
    else
        result.clear();
    record(entry);
    if (ok)
        *ok = accepted;
    return result;
}

QString MessageBox::getOpenFileName(QWidget *parent, const QString &caption, const QString &dir,
                                    const QString &filter)
{
    Record entry = makeRecord(OpenFileName, caption, filter);
    QString result;
    if (takeFileName(&result))
        entry.armed = true;
    else if (mayOpenWindow())
        result = QFileDialog::getOpenFileName(parent, caption, dir, filter);
    if (!result.isEmpty())
        entry.value = result;
    record(entry);
    return result;
}

QString MessageBox::getSaveFileName(QWidget *parent, const QString &caption, const QString &dir,
                                    const QString &filter)
{
    Record entry = makeRecord(SaveFileName, caption, filter);
    QString result;
    if (takeFileName(&result))
        entry.armed = true;
    else if (mayOpenWindow())
        result = QFileDialog::getSaveFileName(parent, caption, dir, filter);
    if (!result.isEmpty())
        entry.value = result;
    record(entry);
    return result;
}

QString MessageBox::getExistingDirectory(QWidget *parent, const QString &caption, const QString &dir)
{
    Record entry = makeRecord(ExistingDirectory, caption, QString());
    QString result;
    if (takeFileName(&result))
        entry.armed = true;
    else if (mayOpenWindow())
        result = QFileDialog::getExistingDirectory(parent, caption, dir);
    if (!result.isEmpty())
        entry.value = result;
    record(entry);
    return result;
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
