#pragma once
// The optional add-on pack: its installer is extracted into the temporary folder and started with
// parameters that reflect the user's choices. Setup does not wait for it.
#include "engine/installer_action.h"

namespace uinst {

class TAddonsDescription;

// The choices of section "Common" of the run's settings (all false when absent).
struct TAddonsChoices {
    bool Viewer = false;
    bool Extensions = false;
    bool Shortcuts = false;

    static TAddonsChoices FromSettings();
    bool Any() const { return Viewer || Extensions || Shortcuts; }
};

class TInstallerActionAddonsInstall : public TInstallerAction {
public:
    void Execute() override;
    void BuildSummary(TInstallerSummaryBuilder& builder) override;

    // The add-on installer's parameters: the pattern "CL" with the chosen "P1", "P2", "P3" values,
    // each followed by a blank.
    static String Parameters(const TAddonsDescription& description, const TAddonsChoices& choices);
    // Where the add-on installer named by "P4" is written: the temporary folder and the name's
    // file-name part. Raises when the name has no usable file-name part.
    static String InstallerFile(const String& packageName);
};

}  // namespace uinst
