#pragma once

// The program's windows, created in the start-up order: the main window MainForm
// (its FormCreate runs in its constructor), the About box AboutBox, then the
// settings dialog FrmOption (which loads the settings file), whose OK then updates
// the main window. Call with a QApplication running, from the user-interface thread.
void CreateMainObjects();

// Stops a running reception, then deletes the windows and clears the global
// pointers. Safe to call when nothing was created.
void DestroyMainObjects();
