#include "dialogscriptconsole.h"

#include "scriptthread.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

DialogScriptConsole::DialogScriptConsole(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(tr("Script Console"));

    m_editor = new QPlainTextEdit(this);
    m_editor->setObjectName(QStringLiteral("scriptEditor"));
    m_editor->setTabStopDistance(40);

    m_runButton = new QPushButton(tr("Run Script"), this);
    m_runButton->setObjectName(QStringLiteral("runButton"));
    m_runButton->setAutoDefault(false);
    m_stopButton = new QPushButton(tr("Stop Script"), this);
    m_stopButton->setObjectName(QStringLiteral("stopButton"));
    m_stopButton->setAutoDefault(false);
    m_stopButton->setEnabled(false);

    m_output = new QPlainTextEdit(this);
    m_output->setObjectName(QStringLiteral("output"));
    m_output->setReadOnly(true);
    m_output->setTabStopDistance(40);

    m_statusLabel = new QLabel(this);
    m_statusLabel->setObjectName(QStringLiteral("statusLabel"));

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_runButton);
    buttons->addWidget(m_stopButton);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_editor, 2);
    layout->addLayout(buttons);
    layout->addWidget(m_output, 1);
    layout->addWidget(m_statusLabel);
    resize(560, 480);

    connect(m_runButton, &QPushButton::clicked, this, &DialogScriptConsole::runButtonClicked);
    connect(m_stopButton, &QPushButton::clicked, this, &DialogScriptConsole::stopScript);
}

void DialogScriptConsole::scriptMessage(QString message) { m_output->appendPlainText(message); }

void DialogScriptConsole::runButtonClicked()
{
    m_output->clear();
    emit runScript(m_editor->toPlainText());
}

void DialogScriptConsole::setScriptRunning(bool running) { m_stopButton->setEnabled(running); }

void DialogScriptConsole::bind(ScriptThread *thread)
{
    connect(this, &DialogScriptConsole::runScript, thread, &ScriptThread::runScript);
    connect(this, &DialogScriptConsole::stopScript, thread, &ScriptThread::stop);
    connect(thread, &ScriptThread::scriptMessage, this, &DialogScriptConsole::scriptMessage);
    connect(thread, &ScriptThread::scriptRunningChanged, this, &DialogScriptConsole::setScriptRunning);
    setScriptRunning(thread->isScriptRunning());
}
