#pragma once
// Waits that keep the window alive: the commands and the profile loader pause
// between module writes, and the refresh timer must still run meanwhile.

class Waiter
{
public:
    // Waits the given number of milliseconds while processing pending GUI
    // events in slices of at most 100 ms.
    static void wait(int milliseconds);
};
