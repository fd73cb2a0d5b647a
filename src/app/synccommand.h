#pragma once

#include <QString>

// The sync from the command line, for schedulers and machines without a
// screen. Each returns the exit code: 0 done, 1 a server, network or file
// error (said on standard error, in Italian), 2 bad usage.

// "--sync-setup URL USER": the password on standard input; a calendar's own
// address is taken as it is, from a server's root the calendar named
// "Ricordel" (made when missing). Refused while a copy runs on the folder.
int runSyncSetup(const QString& dataFolder, const QString& address, const QString& user);

// "--sync": one pass on the data folder's lists; with a copy running on the
// folder, that copy is asked to sync instead. The password comes from the
// keyring, or else from standard input when it is not a terminal.
int runSyncOnce(const QString& dataFolder, const QString& taskProgram);
