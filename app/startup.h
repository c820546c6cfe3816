#pragma once

// The program's windows, created in the start-up order: the main window MainForm
// (its FormCreate runs in its constructor), the About box AboutBox, then the
// settings dialog FrmOption (which loads the settings file), whose OK then updates
// the main window. Call with a QApplication running, from the user-interface thread.
void CreateMainObjects();

// Makes SIGTERM, SIGINT and SIGHUP close the main window as its close box does
// (reception stopped, settings saved), with open modal boxes closed first, and
// then end the event loop. The handler only writes a byte into a socket pair that
// the event loop watches; it is taken back after the first signal, so that a second
// one ends the program at once. Call once, with the QApplication made; a signal
// that comes before the windows exist is acted on once the event loop runs.
// Nothing on Windows.
void CloseOnTerminationSignals();

// Stops a running reception, then deletes the windows and clears the global
// pointers. Safe to call when nothing was created.
void DestroyMainObjects();
