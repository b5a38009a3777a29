#pragma once
// Modes, options, states and the notification interface of a run.
#include <cstdint>
#include <initializer_list>

namespace uinst {

enum TInstallerMode : uint8_t { imInstall = 0, imUninstall = 1 };

enum TInstallerOption : uint8_t { ioAuto = 0, ioPortable = 1, ioUpdate = 2, ioSilent = 3, ioRun = 4, ioNoBackup = 5 };

// A set of options in one byte: bit position = the option's ordinal.
class TInstallerOptions {
public:
    constexpr TInstallerOptions() = default;
    constexpr TInstallerOptions(std::initializer_list<TInstallerOption> options) {
        for (auto o : options) FBits |= static_cast<uint8_t>(1u << o);
    }
    static constexpr TInstallerOptions FromBits(uint8_t bits) {
        TInstallerOptions o;
        o.FBits = bits;
        return o;
    }
    constexpr bool Has(TInstallerOption o) const { return (FBits >> o) & 1u; }
    constexpr void Include(TInstallerOption o) { FBits |= static_cast<uint8_t>(1u << o); }
    constexpr void Exclude(TInstallerOption o) { FBits &= static_cast<uint8_t>(~(1u << o)); }
    constexpr void Set(TInstallerOption o, bool value) { value ? Include(o) : Exclude(o); }
    constexpr uint8_t Bits() const { return FBits; }
    constexpr bool operator==(const TInstallerOptions&) const = default;

private:
    uint8_t FBits = 0;
};

enum TInstallerState : uint8_t { isIdle = 0, isRunning = 1, isFinished = 2 };

// Notification codes delivered to listeners on the main thread.
enum TInstallerNotifyCode : int {
    kNotifyFinished = 1,  // param: 1 when the run was cancelled
    kNotifyProgress = 2,  // param: mean progress << 16 | current action's progress
    kNotifyStatus = 4,    // param: address of a String
    kNotifyPageChanged = 5,
    kNotifyRepaint = 6,
};

class IInstallerNotify {
public:
    virtual ~IInstallerNotify() = default;
    virtual void Notify(int code, intptr_t param) = 0;
};

}  // namespace uinst
