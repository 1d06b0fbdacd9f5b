#pragma once
// Every delay and limit of the tunnel procedures in one place. The shipped
// values are the defaults below; tests and benchmarks shorten them through
// flashTimings() before they start a procedure, never by editing these values.

namespace crateflash {

struct FlashTimings
{
    int pollIntervalMs = 25;          // tunnel poll
    int logOffDelayMs = 500;          // after the tunnel is opened
    int bitRateResetDelayMs = 500;    // reset all after a bit-rate change
    int keepAliveTicks = 100;         // log on to all other modules every 101st tick
    int answerTimeoutTicks = 200;     // 5 s for a line answer
    int tandemStartDelayMs = 1000;    // T25X0: start writing after the boot answer
    int bootRetryStartDelayMs = 100;  // start writing after a second boot command 00
    int secondPostFlashDelayMs = 1000;
    int finishDelayMs = 7000;         // post-flash/restart to "update finished"
    int batchStartDelayMs = 5000;     // prepare-for-update to the first module
    int nextModuleDelayMs = 10000;    // between the modules of a batch
    int repeatDelayMs = 20;           // service actions over ticked modules
    int maxUnansweredResends = 12;    // one minute of silence on one line fails the run
    int maxRejectionsInARow = 10;     // one line rejected this often fails the run
    int eraseSpacingNormalMs = 4000;  // far sector erase pacing, normal layout
    int eraseSpacingInternalMs = 100; // internal memory layout
    int farReadTimeoutMs = 2000;      // a far-memory read with no answer is asked again
    int farReadTries = 3;             // and given up after this many tries
};

inline FlashTimings &flashTimings()
{
    static FlashTimings timings;
    return timings;
}

} // namespace crateflash
