// Sending and receiving handlers of the main window. This first version only lets
// the program link; the send and receive engines plug in here.
#include "Main.h"

void TMainForm::SetUpSendReceive() { }

void TMainForm::ShutDownSendReceive() { }

void TMainForm::BtnSendClick() { }

void TMainForm::Timer1Timer() { }

void TMainForm::SendData() { }

void TMainForm::BtnRecieveClick() { }
