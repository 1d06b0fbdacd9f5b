#include "scriptbridge.h"

#include "scriptthread.h"

ScriptBridge::ScriptBridge(ScriptThread *thread) : m_thread(thread) {}

void ScriptBridge::delay(int milliSeconds) { m_thread->delay(milliSeconds); }

void ScriptBridge::print(QString message) { m_thread->print(message); }
