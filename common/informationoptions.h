#pragma once
// --help and --version of the GUI programs, answered before any window system is
// touched, so they work without a display (and help2man can run them at build
// time). Everything else on the command line is left alone: the programs read
// only their first argument, and an unknown option has no effect.

#include <QString>

struct InformationOptions {
    QString name;
    QString version;
    QString description;
    QString serviceModeHelp; // what the positional service argument "quil" enables
};

// Prints the help or the version and ends the process when either is asked for;
// returns otherwise.
void answerInformationOptions(int argc, char *argv[], const InformationOptions &options);
