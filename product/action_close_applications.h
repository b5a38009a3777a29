#pragma once
// Closes the running programs of the product family before files are replaced or removed.
#include <array>
#include <atomic>

#include "engine/installer_action.h"

namespace uinst {

class TInstallerActionCloseApplications : public TInstallerAction {
public:
    // Searched in this order, one window of each class closed per pass.
    static constexpr std::array<const char16_t*, 7> kWindowClasses = {
        u"TORVO2EditorForm",       u"TORVO2MainW",      u"TORVO3MainWindow", u"TORVOATEForm",
        u"TORVOConverterMainForm", u"TORVOLibMainForm", u"TORVOMainForm"};
    static constexpr uint32_t kPassPauseMs = 2000;
    // The pause is slept in slices this long, so that a cancelled run ends at once.
    static constexpr uint32_t kPauseSliceMs = 100;
    // About 30 seconds of passes before the user is asked (or a silent run gives up).
    static constexpr int kPassesBeforeAsking = 15;
    // A program that does not handle the close message within this time counts as still open.
    static constexpr uint32_t kCloseMessageTimeoutMs = 5000;

    void Execute() override;
    // Main thread: the run was cancelled; the passes stop and nothing more is asked.
    void Terminate() override;

private:
    // One pass: asks one window of each class to close; the texts of the windows found.
    std::vector<String> ClosePass();
    // The pause between passes; false when the run was cancelled meanwhile.
    bool Pause();

    std::atomic<bool> FCancelled{false};
};

}  // namespace uinst
