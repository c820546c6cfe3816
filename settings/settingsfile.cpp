#include "settingsfile.h"

#include <array>

namespace {

using FlagMember = std::atomic<bool> SettingsValues::*;
using NumberMember = std::atomic<int32_t> SettingsValues::*;

// One 4-byte slot of the file: either a flag or a number.
struct FileField
{
    FlagMember flag;
    NumberMember number;
};

// The file order, which is not the declaration order: FTimeInterval follows
// FParaCharNum, and FSendEnd comes before FSendStart.
constexpr std::array<FileField, 18> kFileFields { {
    { &SettingsValues::FTimedSend, nullptr },
    { &SettingsValues::FAutoClear, nullptr },
    { &SettingsValues::FCheckOrder, nullptr },
    { &SettingsValues::FAutoSend, nullptr },
    { nullptr, &SettingsValues::FComPort },
    { nullptr, &SettingsValues::FComBitNum },
    { nullptr, &SettingsValues::FStopBits },
    { nullptr, &SettingsValues::FComBps },
    { nullptr, &SettingsValues::FClearLineNum },
    { nullptr, &SettingsValues::FParaStart },
    { nullptr, &SettingsValues::FParaEnd },
    { nullptr, &SettingsValues::FLineCharNum },
    { nullptr, &SettingsValues::FParaCharNum },
    { nullptr, &SettingsValues::FTimeInterval },
    { nullptr, &SettingsValues::FParity },
    { nullptr, &SettingsValues::FSendEnd },
    { nullptr, &SettingsValues::FSendStart },
    { nullptr, &SettingsValues::FTwoCharDelay },
} };

static_assert(kFileFields.size() * 4 == kSettingsFixedSize);

void AppendLittleEndian(std::string &out, int32_t value)
{
    const auto bits = static_cast<uint32_t>(value);
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<char>((bits >> shift) & 0xFFu));
    }
}

int32_t ReadLittleEndian(std::string_view bytes, std::size_t offset)
{
    uint32_t bits = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        bits |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[offset + i])) << (8 * i);
    }
    return static_cast<int32_t>(bits);
}

} // namespace

std::string EncodeSettings(const SettingsValues &settings)
{
    std::string out;
    out.reserve(kSettingsFixedSize + kSettingsTextLimit);
    for (const FileField &field : kFileFields) {
        if (field.flag != nullptr) {
            AppendLittleEndian(out, (settings.*field.flag).load() ? 1 : 0);
        } else {
            AppendLittleEndian(out, (settings.*field.number).load());
        }
    }
    const std::string &text = settings.FSendChar;
    out.append(text, 0, Cp936PrefixLength(text, kSettingsTextLimit));
    return out;
}

void DecodeSettings(std::string_view bytes, SettingsValues &settings)
{
    SetDefaultSettings(settings);
    std::size_t offset = 0;
    for (const FileField &field : kFileFields) {
        if (offset + 4 > bytes.size()) {
            break;
        }
        const int32_t value = ReadLittleEndian(bytes, offset);
        if (field.flag != nullptr) {
            settings.*field.flag = value != 0;
        } else {
            settings.*field.number = value;
        }
        offset += 4;
    }
    if (bytes.size() < kSettingsFixedSize) {
        return;
    }
    std::string_view text = bytes.substr(kSettingsFixedSize, kSettingsTextLimit);
    text = text.substr(0, text.find('\0'));
    settings.FSendChar.assign(text);
}

std::filesystem::path SettingsFilePath()
{
#ifdef _WIN32
    // The system directory immediately followed by "\Byteway.ini": the folder's
    // text is taken as it is, without adding or removing a separator.
    return std::filesystem::path(SettingsFolder().string() + "\\Byteway.ini");
#else
    return SettingsFolder() / "Byteway.ini";
#endif
}

Status SaveSettings(const SettingsValues &settings)
{
    if (Status folder = CreateSettingsFolder(); !folder) {
        return folder;
    }
    return ReplaceFileAtomically(SettingsFilePath(), EncodeSettings(settings));
}

void LoadSettings(SettingsValues &settings)
{
    // Only the part of the file that the codec looks at is read, so that a huge file
    // in its place costs nothing. A file that cannot be written is not taken, so that
    // the defaults are saved in its place.
    const Result<std::string> bytes = ReadRegularFile(
        SettingsFilePath(), kSettingsFixedSize + kSettingsTextLimit, FileAccess::ReadWrite);
    if (!bytes || bytes->empty()) {
        SetDefaultSettings(settings);
        // Not saving the defaults is no loss: they are what a later start reads in
        // the file's absence too.
        static_cast<void>(SaveSettings(settings));
        return;
    }
    DecodeSettings(*bytes, settings);
}
