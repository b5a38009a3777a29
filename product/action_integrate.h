#pragma once
// Shell integration, context menu and file associations: the product's helper Elevator.exe in the
// destination folder does the registry work; setup only tells it what the user chose.
#include "engine/installer_action.h"
#include "platform/handles.h"

namespace uinst {

// The choices of section "Integration" of the run's settings (all true when absent).
struct TIntegrationChoices {
    bool IntegrateToWindows = true;
    bool RegisterContextMenu = true;
    bool AssociateWithFiles = true;

    static TIntegrationChoices FromSettings();
};

class TInstallerActionIntegrate : public TInstallerAction {
public:
    static constexpr const char16_t* kHelperName = u"Elevator.exe";
    // The helper may show the system's default-programs step and wait for the user; beyond this
    // setup stops waiting (the helper goes on) rather than hang a silent run for ever.
    static constexpr uint32_t kHelperTimeLimitMs = 5 * 60 * 1000;

    TInstallerActionIntegrate();

    void Execute() override;
    void BuildSummary(TInstallerSummaryBuilder& builder) override;
    // Stops the wait for the helper when the run is cancelled.
    void Terminate() override;

    // The helper's switches for these choices, each beginning with a blank; empty when nothing is
    // to be done.
    static String Switches(const TIntegrationChoices& choices);

protected:
    virtual uint32_t HelperTimeLimitMs() const { return kHelperTimeLimitMs; }

private:
    TUniqueHandle FCancel;
};

}  // namespace uinst
