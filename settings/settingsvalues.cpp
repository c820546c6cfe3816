#include "settingsvalues.h"

void SetDefaultSettings(SettingsValues &settings)
{
    settings.FTimedSend = true;
    settings.FAutoClear = true;
    settings.FCheckOrder = false;
    settings.FAutoSend = false;
    settings.FTimeInterval = 1000;
    settings.FSendStart = 0;
    settings.FSendEnd = 127;
    settings.FComPort = 1;
    settings.FComBitNum = 8;
    settings.FStopBits = 0;
    settings.FComBps = 57600;
    settings.FClearLineNum = 100;
    settings.FParaStart = 0;
    settings.FParaEnd = 127;
    settings.FLineCharNum = 10;
    settings.FParaCharNum = 100;
    settings.FParity = 0;
    settings.FTwoCharDelay = 100;
    settings.FSendChar = "00";
}
