#pragma once
// The script console: an editor for the script, "Run Script", "Stop Script" and
// the script's output. It runs nothing itself: runScript and stopScript go to
// whoever runs scripts, whose lines come back through scriptMessage and whose
// state through setScriptRunning. Both panes hold plain text: a script's output is
// shown as printed, never read as markup.

#include <QDialog>
#include <QString>

class QLabel;
class ScriptThread;
class QPlainTextEdit;
class QPushButton;

class DialogScriptConsole : public QDialog
{
    Q_OBJECT

public:
    explicit DialogScriptConsole(QWidget *parent = nullptr);

    // Runs and stops scripts on `thread` and shows its lines and state.
    void bind(ScriptThread *thread);

signals:
    void runScript(QString script);
    void stopScript();

public slots:
    void scriptMessage(QString message);
    void runButtonClicked();
    // "Stop Script" can be pressed only while a script runs.
    void setScriptRunning(bool running);

private:
    QPlainTextEdit *m_editor;
    QPushButton *m_runButton;
    QPushButton *m_stopButton;
    QPlainTextEdit *m_output;
    QLabel *m_statusLabel;
};
