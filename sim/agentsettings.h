#pragma once
// The agent's own knobs and counters, shared between the agent, the object
// table (which publishes them as CRATESIM-MIB objects) and the simulator loop.

#include <QtGlobal>

struct AgentSettings {
    int delayMs = 0;             // answer delay per request
    int maxMessageSize = 65507;  // larger answers get tooBig
    double timeScale = 1.0;      // simulated seconds per real second
    quint32 requests = 0;        // requests answered
    quint32 varbinds = 0;        // varbinds answered
    quint32 badCommunities = 0;  // requests dropped for an unknown community
    bool saveStateRequested = false;
    bool verbose = false;
};
