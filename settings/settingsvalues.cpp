#include "settingsvalues.h"

void SetDefaultSettings(SettingsValues &settings)
{
    settings.FTimedSend = SettingDefaults::TimedSend;
    settings.FAutoClear = SettingDefaults::AutoClear;
    settings.FCheckOrder = SettingDefaults::CheckOrder;
    settings.FAutoSend = SettingDefaults::AutoSend;
    settings.FTimeInterval = SettingDefaults::TimeInterval;
    settings.FSendStart = SettingDefaults::SendStart;
    settings.FSendEnd = SettingDefaults::SendEnd;
    settings.FComPort = SettingDefaults::ComPort;
    settings.FComBitNum = SettingDefaults::ComBitNum;
    settings.FStopBits = SettingDefaults::StopBits;
    settings.FComBps = SettingDefaults::ComBps;
    settings.FClearLineNum = SettingDefaults::ClearLineNum;
    settings.FParaStart = SettingDefaults::ParaStart;
    settings.FParaEnd = SettingDefaults::ParaEnd;
    settings.FLineCharNum = SettingDefaults::LineCharNum;
    settings.FParaCharNum = SettingDefaults::ParaCharNum;
    settings.FParity = SettingDefaults::Parity;
    settings.FTwoCharDelay = SettingDefaults::TwoCharDelay;
    settings.FSendChar = SettingDefaults::SendChar;
}
